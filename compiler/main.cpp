// midi2zavra: the melody compiler, driven by one script file.
#include "compiler/script.h"

int main(int argc, char** argv) {
    telmira::compiler::Console console;
    telmira::compiler::Session session(console);
    return telmira::compiler::midi2zavraMain(argc, argv, session);
}
