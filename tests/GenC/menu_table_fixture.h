// A fresh menu table for each test, English, a drawable 768 pixels high.
#pragma once

#include <gtest/gtest.h>

#include "GenC/hl_menu.h"
#include "GenH/hl_types.h"

class MenuTableTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VOVARU_clear_menus(1);
        mnw.lang = 0;
        mnw.res_y = 768;
    }
    void TearDown() override
    {
        mnw.lang = 0;
        menu.clear();
    }
};
