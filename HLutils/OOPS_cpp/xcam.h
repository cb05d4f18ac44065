// The 2-D projection.
#pragma once

class xcam_class {
public:
    xcam_class() {}
};
