// zel: wires the subsystem libraries together and hands over to the start sequence.
#include "frame/zelstart.h"

int main(int argc, char** argv) {
    // Later modules lend the start what it needs here (the ROM export, ...).
    telmira::ZelHooks hooks;
    return telmira::zelMain(argc, argv, hooks);
}
