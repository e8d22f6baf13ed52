// A helper library a test control imports by name; it lies beside the control, nowhere else.
extern "C" __declspec(dllexport) int NeighbourAnswer() { return 42; }
