// The program itself, reporting its first paint.
#include "FirstPaint.h"
#include "app/LinuxProgram.h"

int main(int argc, char** argv) {
    return vexor::RunLinuxProgram(
        argc, argv, {.started = {}, .shown = vexor::bench::ReportFirstPaint, .ending = {}});
}
