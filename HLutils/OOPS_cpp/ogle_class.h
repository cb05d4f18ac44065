// The editor class: one text editor engine record for hosts that would
// rather supply the 13 callbacks as virtual operations of a subclass. Each
// operation takes the callback's arguments without the record.
#pragma once

#include "OOPS_cpp/ogle.h"

class OGLE
{
  public:
    OGLE();
    virtual ~OGLE();
    // The object owns its record: a copy would destroy it twice.
    OGLE(const OGLE&) = delete;
    OGLE& operator=(const OGLE&) = delete;

    virtual void GetVisibleBounds(float box[4]) = 0;
    virtual void GetLogicalBounds(float box[4]) = 0;
    virtual void SetLogicalHeight(float height) = 0;
    virtual void ScrollTo(float offset[2]) = 0;
    virtual void GetText(const char** begin, const char** end) = 0;
    virtual void ReplaceText(int from, int to, const char* begin, const char* end) = 0;
    virtual float GetLineHeight() = 0;
    virtual float MeasureString(const char* begin, const char* end) = 0;
    virtual int FitStringFwd(const char* begin, const char* end, float width) = 0;
    virtual int FitStringRev(const char* begin, const char* end, float width) = 0;
    virtual void DrawString(const char* begin, const char* end, float x, float y) = 0;
    virtual void DrawSelection(float box[4]) = 0;
    virtual const char* WordBreak(const char* p, const char* end) = 0;

    // The engine's operations on the record.
    void GetSelection(int* start, int* end);
    void SetSelection(int start, int end);
    void Repaginate();
    void DoReplaceText(int from, int to, const char* begin, const char* end);
    void RevealSelection();
    void Click(float x, float y, int extend);
    void Drag(float x, float y);
    void Draw(int active);
    void Key(char key, int shift);

    // The engine's callbacks: each finds the object in the record's refcon
    // and calls its operation of the same name.
    static void GetVisibleBoundsCB(OGLE_Rec* rec, float box[4]);
    static void GetLogicalBoundsCB(OGLE_Rec* rec, float box[4]);
    static void SetLogicalHeightCB(OGLE_Rec* rec, float height);
    static void ScrollToCB(OGLE_Rec* rec, float offset[2]);
    static void GetTextCB(OGLE_Rec* rec, const char** begin, const char** end);
    static void ReplaceTextCB(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
    static float GetLineHeightCB(OGLE_Rec* rec);
    static float MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end);
    static int FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static int FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
    static void DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
    static void DrawSelectionCB(OGLE_Rec* rec, float box[4]);
    static const char* WordBreakCB(OGLE_Rec* rec, const char* p, const char* end);

  protected:
    OGLE_Rec* rec;
};
