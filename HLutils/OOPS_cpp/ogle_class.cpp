// The editor class over the text editor engine.
#include "OOPS_cpp/ogle_class.h"

namespace
{
OGLE& self(OGLE_Rec* rec)
{
    return *static_cast<OGLE*>(OGLE_GetRef(rec));
}

// In the engine's callback order.
const OGLE_Callbacks kForwarders = {
    OGLE::GetVisibleBoundsCB, OGLE::GetLogicalBoundsCB, OGLE::SetLogicalHeightCB,
    OGLE::ScrollToCB,         OGLE::GetTextCB,          OGLE::ReplaceTextCB,
    OGLE::GetLineHeightCB,    OGLE::MeasureStringCB,    OGLE::FitStringFwdCB,
    OGLE::FitStringRevCB,     OGLE::DrawStringCB,       OGLE::DrawSelectionCB,
    OGLE::WordBreakCB,
};
} // namespace

OGLE::OGLE() : rec(OGLE_Create(&kForwarders, this)) {}

OGLE::~OGLE()
{
    OGLE_Destroy(rec);
}

void OGLE::GetSelection(int* start, int* end)
{
    OGLE_GetSelection(rec, start, end);
}
void OGLE::SetSelection(int start, int end)
{
    OGLE_SetSelection(rec, start, end);
}
void OGLE::Repaginate()
{
    OGLE_Repaginate(rec);
}
void OGLE::DoReplaceText(int from, int to, const char* begin, const char* end)
{
    OGLE_ReplaceText(rec, from, to, begin, end);
}
void OGLE::RevealSelection()
{
    OGLE_RevealSelection(rec);
}
void OGLE::Click(float x, float y, int extend)
{
    OGLE_Click(rec, x, y, extend);
}
void OGLE::Drag(float x, float y)
{
    OGLE_Drag(rec, x, y);
}
void OGLE::Draw(int active)
{
    OGLE_Draw(rec, active);
}
void OGLE::Key(char key, int shift)
{
    OGLE_Key(rec, key, shift);
}

void OGLE::GetVisibleBoundsCB(OGLE_Rec* rec, float box[4])
{
    self(rec).GetVisibleBounds(box);
}
void OGLE::GetLogicalBoundsCB(OGLE_Rec* rec, float box[4])
{
    self(rec).GetLogicalBounds(box);
}
void OGLE::SetLogicalHeightCB(OGLE_Rec* rec, float height)
{
    self(rec).SetLogicalHeight(height);
}
void OGLE::ScrollToCB(OGLE_Rec* rec, float offset[2])
{
    self(rec).ScrollTo(offset);
}
void OGLE::GetTextCB(OGLE_Rec* rec, const char** begin, const char** end)
{
    self(rec).GetText(begin, end);
}
void OGLE::ReplaceTextCB(OGLE_Rec* rec, int from, int to, const char* begin, const char* end)
{
    self(rec).ReplaceText(from, to, begin, end);
}
float OGLE::GetLineHeightCB(OGLE_Rec* rec)
{
    return self(rec).GetLineHeight();
}
float OGLE::MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end)
{
    return self(rec).MeasureString(begin, end);
}
int OGLE::FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width)
{
    return self(rec).FitStringFwd(begin, end, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width)
{
    return self(rec).FitStringRev(begin, end, width);
}
void OGLE::DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y)
{
    self(rec).DrawString(begin, end, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* rec, float box[4])
{
    self(rec).DrawSelection(box);
}
const char* OGLE::WordBreakCB(OGLE_Rec* rec, const char* p, const char* end)
{
    return self(rec).WordBreak(p, end);
}
