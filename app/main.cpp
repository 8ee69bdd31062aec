// Entry point of pavoden2.
#include "app/shell/startup.h"

int main(int argc, char** argv) {
    return pavo::app::shell::run_program(argc, argv);
}
