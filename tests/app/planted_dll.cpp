extern "C" __declspec(dllexport) int Planted() { return 1; }
