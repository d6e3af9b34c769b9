// zel: wires the subsystem libraries together and hands over to the start sequence.
#include "frame/zelstart.h"

int main(int argc, char** argv) {
    return telmira::zelMain(argc, argv);
}
