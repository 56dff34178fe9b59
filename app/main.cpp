// pellwick: the plug-in program, started by the quoting host from its add-on list.

#include "PellwickMain.h"

int main(int argc, char* argv[]) {
    return pellwick::RunPellwick(argc, argv);
}
