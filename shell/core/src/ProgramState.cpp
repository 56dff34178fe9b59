#include "pellwick/ProgramState.h"

#include <tessary/clsInfusionsoftAPI.h>

namespace pellwick {

namespace {
// No host until the program says where it is (the application attaches the session
// bus's); every call that needs one then reports that the host is not running.
void InstallDefaults(ProgramState& state) {
    state.CreateConnection = [] { return tessary::clsInfusionsoftAPI::Create(); };
}
} // namespace

ProgramState& State() {
    static ProgramState state = [] {
        ProgramState fresh;
        InstallDefaults(fresh);
        return fresh;
    }();
    return state;
}

void ResetProgramState() {
    ProgramState& state = State();
    state = ProgramState{};
    InstallDefaults(state);
}

} // namespace pellwick
