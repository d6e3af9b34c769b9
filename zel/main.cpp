// zel: hands the modules of this build to the start sequence.
#include "zel/modules.h"

int main(int argc, char** argv) {
    return telmira::zelMain(argc, argv, telmira::app::ZelHooksOfThisBuild());
}
