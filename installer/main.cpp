// Zudezud installer entry point.
#include "GenH/hl_types.h"

int main(int argc, char** argv)
{
    return 0;
}
