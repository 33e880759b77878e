// Resource and control ids of the converter.
#pragma once

#define IDD_SOURCE_DIALOG 101
#define IDI_APP_GROUP 102
#define IDC_SOURCE_PATH 1002
#define IDC_BROWSE 1000
#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // controls that are never addressed
#endif
