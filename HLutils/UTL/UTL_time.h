// The clock and frame timing.
#pragma once

class xtim_class {
public:
    xtim_class() {}
};
