// A test control whose self-registration needs the helper library shipped beside it: it loads
// only when the loader looks in the control's own folder for its imports.
extern "C" __declspec(dllimport) int NeighbourAnswer();

extern "C" __declspec(dllexport) long DllRegisterServer() {
    return NeighbourAnswer() == 42 ? 0 : 1;
}
