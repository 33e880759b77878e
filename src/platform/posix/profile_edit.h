// The native profile writer's edit of a file held in memory: what
// WriteProfileText does to the file's bytes. False when nothing changed.
#pragma once
#include <string>

bool EditProfileText(std::string& file, const char* section, const char* key, const char* value);
