#include "shell/TarnwickApp.h"

int main(int argc, char** argv)
{
    return TarnwickApp::main(argc, argv);
}
