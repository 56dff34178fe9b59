#include "pellwick/ProgramState.h"

#include "DefaultFactories.h"

namespace pellwick {

ProgramState& State() {
    static ProgramState state = [] {
        ProgramState fresh;
        fresh.AttachHost = DefaultHostAttacher();
        fresh.CreateConnection = DefaultConnectionFactory();
        return fresh;
    }();
    return state;
}

void ResetProgramState() {
    ProgramState& state = State();
    state = ProgramState{};
    state.AttachHost = DefaultHostAttacher();
    state.CreateConnection = DefaultConnectionFactory();
}

} // namespace pellwick
