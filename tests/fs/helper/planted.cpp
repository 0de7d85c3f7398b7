// A DLL that exists only in the test executable's folder, the way a planted one would lie in a
// downloads folder beside an installer.

extern "C" __declspec(dllexport) int PlantedMarker() { return 1; }
