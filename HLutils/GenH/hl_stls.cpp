#include "GenH/hl_stls.h"

std::string& stls_class::operator[](int slot)
{
    if (slot == 0) return s0_;
    if (slot >= 1 && slot <= 1800) return a_[slot - 1];
    if (slot >= 1811 && slot <= 2210) return b_[slot - 1811];
    switch (slot) {
    case 1801:
        return s1801_;
    case 1802:
        return s1802_;
    case 1803:
        return s1803_;
    case 1805:
        return s1805_;
    case 1806:
        return s1806_;
    case 1807:
        return s1807_;
    case 1809:
        return s1809_;
    default:
        none_.clear();
        return none_;
    }
}
