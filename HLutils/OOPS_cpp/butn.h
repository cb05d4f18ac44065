// The immediate-mode widgets: each BTN_ call draws its widget, tests this
// frame's mouse against its own box and answers whether it was used. The
// caller owns every value; nothing here keeps a widget object.
//
// Coordinates are window units relative to the current window's lower-left
// corner, y up. Widgets react to the mouse only while no menu is open.
//
// Artwork (the bars, panels and sprites) is cut from the interface atlas
// (texture 389), panel type 20 from the installer image (texture 390).
//
// Each call decides from this frame's input (its box, the mouse, the click) and
// then draws; the deciding parts are pure helpers that tests call
// (BTN_action_box, BTN_frame1_quads). Drawing goes through the OGL_ primitives,
// the texture manager and the menu table, never X11. A widget under the pointer
// that has help text writes it to stls slot 1802 (the tooltip); only the number
// and character fields set the pointer look (mnw.cursor_kind). The shell draws
// its windows with these widgets too.
//
// What a widget module keeps between frames is one record of that module, never
// loose variables: focus_ring (butn_focus), text_field (butn_text), lists
// (butn_list), number_fields (butn_number), char_fields (butn_extra), picker
// (open_save), stand_io_state (file_dialog). Only focus_ring is seen outside
// its module; tests reach the text field's editor through BTN_text_editor.
//
// This header declares the widgets of butn.cpp, butn_art.cpp (artwork),
// butn_number.cpp, butn_text.cpp and butn_list.cpp. The pop-up choice owns menu
// slot 1519 while its list is open; the shell draws that slot and hands a pick
// back through select_popup_code and popup_menu_select. Bad items are fatal
// alerts, kept for programming errors: callers turn user texts into items with
// BTN_popup_safe_item and cap their count.
#pragma once

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Artwork
// ---------------------------------------------------------------------------

// The bars: types of BTN_frame1, and of BTN_frame0 for the vertical one.
enum {
    kBarMenu = 0,          // grey raised plate: the menu bar
    kBarHeader = 1,        // green bar: header of a filled window
    kBarButton = 2,        // grey push button
    kBarButtonDown = 3,    // green push button: down or pressed
    kBarProgressTrack = 4, // dark trough of a progress bar
    kBarProgressFill = 5,  // darker trough: the part done
    kBarVertical = 6,      // the scroll bar's track (BTN_frame0)
    kBarSliderTrack = 7,   // grey rail of a slider
    kBarSliderFill = 8,    // small grey strip: a slider's filled part
    kBarField = 9,         // white sunken field
    kBarPopup = 10,        // button with arrows: pop-up choice
};
// The panels: types of BTN_frame2, BTN_subwin and BTN_fillwin's inner part.
enum {
    kPanelWindow = 11,    // window background, with title and close boxes
    kPanelLight = 12,     // light striped panel
    kPanelGroup = 13,     // flat grey panel
    kPanelDark = 14,      // dark panel: tooltips
    kPanelInset = 15,     // darker panel
    kPanelList = 16,      // list background
    kPanelMenu = 17,      // dark rounded box: an open menu
    kPanelSmall = 18,     // small framed panel
    kPanelBlack = 19,     // black panel
    kPanelInstaller = 20, // from the installer image
    kPanelNone = 21,      // BTN_fillwin: no inner part
};

// Horizontal stretchable bar centred at (x, y), tinted by a colour id
// (artwork is drawn in kColrNoTint). Types 0..5 and 7..10; any other type is
// fatal ("Bad BTN_frame1 call!").
void BTN_frame1(int type, float x, float y, float width, int colour);
// Vertical stretchable bar (kBarVertical only) centred at whole-number (x, y).
void BTN_frame0(int type, float x, float y, float height);
// Nine-piece panel whose inner box has its lower-left corner at (x, y);
// types 11..20. Draws the title, and for kPanelWindow the close boxes.
void BTN_frame2(int type, float x, float y, float width, float height, std::string title);
// One atlas sprite: the box centred at (ax, ay) with half sizes (hw, hh),
// drawn centred at (x, y) at the same size.
void BTN_util_element(float x, float y, float ax, float ay, float hw, float hh, int colour);

// One textured quad of a bar or panel: window units (without the window
// origin) and texture positions in texels of its texture.
struct btn_quad {
    float x0, y0, x1, y1;
    float u0, v0, u1, v1;
};
// The quads the frame functions draw, left to right (bottom to top for the
// vertical bar, rows bottom to top for panels). An unknown type gives none;
// the drawing calls turn it into their fatal alert.
std::vector<btn_quad> BTN_frame1_quads(int type, float x, float y, float width);
std::vector<btn_quad> BTN_frame0_quads(float x, float y, float height);
std::vector<btn_quad> BTN_frame2_quads(int type, float x, float y, float width, float height);
// 1 for the types each frame function accepts.
int BTN_frame1_type_ok(int type);
int BTN_frame2_type_ok(int type);

// ---------------------------------------------------------------------------
// Labels and window panels
// ---------------------------------------------------------------------------

// A label holds up to three texts: left up to the last '|', right up to the
// last '{', help from two characters after it.
void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help);
// Where a label lies against its x.
enum {
    kAlignEnd = 0,    // the text ends at x
    kAlignCentre = 1, // centred on x
    kAlignStart = 2,  // the text starts at x
};

// The one or two lines a label text is drawn as (a leading '-' removed, long
// texts split at the separator nearest their middle). Returns the count.
int BTN_label_lines(const std::string& text, int align, std::string* first, std::string* second);
// Draws one label text, aligned against x.
void BTN_util_draw_label(float x, float y, int align, const std::string& text, int hot);
// The current window's two close boxes (look 1: pressed); 1 when this
// frame's click lies in one of them.
int BTN_zap_boxes(int look);
// The current window's background (kPanelWindow when framed, else
// kPanelLight) titled with the window title, then inner_type: a header bar
// (kBarHeader), nothing (kPanelNone) or an inset panel of that type.
void BTN_fillwin(int framed, int inner_type);
// An inset panel; negative x, y, w, h take the window's margins. Returns the
// point 10 units beyond its right and top edges.
void BTN_subwin(float title_h, int type, float x, float y, float w, float h, std::string title,
                float* out_x, float* out_y);

// ---------------------------------------------------------------------------
// Buttons and check boxes
// ---------------------------------------------------------------------------

// A widget's hit box, edges included.
struct btn_box {
    float x0, y0, x1, y1;
};
// 1 when no menu is open and the mouse lies in the box (edges included).
int BTN_mouse_in(const btn_box& box);
// The width a push button gets: its own when above 0, else the label's.
float BTN_action_width(float width, const std::string& label);
// The click boxes of a push button and of a check box at (x, y).
btn_box BTN_action_box(float x, float y, float width);
btn_box BTN_bool_box(float x, float y);

// Push button centred at (x, y); 1 in the frame it is clicked. Style 0 no
// pressed feedback, 1 shows the pressed look at once, 2 also draws a down
// button's label hot. side_text "-" means none.
int BTN_action(float x, float y, float width, int down, int style, std::string label,
               std::string side_text);
// Check box (style 0) or round button (other styles) at (x, y); a click
// toggles *value between 0 and 1 and returns 1.
int BTN_bool(float x, float y, int* value, std::string label, int style);
// Radio button: checked while *value == my_value; a click makes it so.
int BTN_is_int(float x, float y, int* value, int my_value, std::string label);

// ---------------------------------------------------------------------------
// Pop-up choice
// ---------------------------------------------------------------------------

// Most items a pop-up holds; more is a programming error.
constexpr int kBTNMaxPopupItems = 300;

// Items are separated by '-' and may not hold '|'. A text from the user (a
// folder name) becomes a safe item with both replaced by blanks. Callers
// with more than kBTNMaxPopupItems items must cap them themselves.
std::string BTN_popup_safe_item(const std::string& text);
// Splits a choices string into its items. Returns 0, or 1 for a '|' in it,
// or 2 when it holds more than kBTNMaxPopupItems items.
int BTN_split_choices(const std::string& choices, std::vector<std::string>* items);
// The pop-up identity of a widget at (x, y).
int BTN_popup_id(float x, float y);

// Pop-up choice centred on (x, y); *selection is the current item's index.
// 1 in the frame in which the user's pick is taken into *selection.
int BTN_textlist(float x, float y, int* selection, std::string choices, std::string label);

// ---------------------------------------------------------------------------
// Number fields (butn_number.cpp)
// ---------------------------------------------------------------------------
//
// A row of digits, 10 units each, from x to x + 10 * digits at the text's
// base y; an up arrow above and a down arrow below every digit. Digit k
// (0 = leftmost) has the place value 10^(digits - decimals - 1 - k). The
// value is worked on in double, kept within [min, max] and rounded to the
// shown decimals; every number field shares one hot digit and one key queue.

// Float field; 1 when the user changed the value in this frame (also when
// clamping or rounding then undid the change).
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label);
// The same field over an int, 0 decimals; *value is brought into [min, max]
// (and the int range) and stored back in every frame.
int BTN_int_range(float x, float y, int* value, int digits, float min, float max,
                  std::string label);
// The field itself, over a double, with bounds held exactly (a float bound
// of 99999999 would be 100000000). The two above and the variants run it.
int BTN_number_field(float x, float y, double* value, int digits, int decimals, double min,
                     double max, const std::string& label);
// BTN_int_range with exact bounds.
int BTN_int_field(float x, float y, int* value, int digits, double min, double max,
                  const std::string& label);

// The pure steps the fields are made of, for tests.
// Hover box (tooltip; a click in it focuses and picks the hot digit) and
// the arrows band around it (pointer look 13 above y + 3, else 14; a click
// steps the digits whose column holds the mouse).
btn_box BTN_number_box(float x, float y, int digits);
btn_box BTN_number_arrows_box(float x, float y, int digits);
// The hot digit a click at mouse x picks.
int BTN_number_click_digit(float x, int digits, float mouse_x);
// Place value of digit k.
double BTN_number_place(int digits, int decimals, int k);
// Digit k as the field shows it: taken from llround(|value| * 10^decimals).
int BTN_number_digit(double value, int digits, int decimals, int k);
// The value with digit k replaced; the sign stays.
double BTN_number_with_digit(double value, int digits, int decimals, int k, int digit);
// One queued press acting on the value and the hot digit: arrows move the
// hot digit (Left, Right) or step it (Up, Down), a digit overwrites it, '+'
// and '-' set the sign when the range allows. 1 when it counts as a change.
int BTN_number_key(int character, int vkey, double* value, int* hot_digit, int digits, int decimals,
                   double min, double max);
// A click in the arrows band at (mouse_x, mouse_y): each of the first ten
// digits whose column holds mouse_x (edges included) steps up above y + 3,
// down otherwise. 1 when some digit stepped.
int BTN_number_arrow_click(double* value, float x, float y, int digits, int decimals, float mouse_x,
                           float mouse_y);
// Clamp into [min, max] (NaN counts as below), then round half away from
// zero to the shown decimals.
double BTN_number_settle(double value, int decimals, double min, double max);

// ---------------------------------------------------------------------------
// Text field
// ---------------------------------------------------------------------------

struct OGLE_Rec;
struct OGLE_Callbacks;

// One-line text field editing *text, its text starting at (x, y) on its
// base line, `width` wide; the label's left text ends before it, the right
// text follows it. take_focus: the field takes the focus on its own while no
// field has it. The text never grows past max_len through typing (a longer
// text from the caller is cut to max_len after an edit). Returns 1 in a
// frame in which the text was changed.
int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label,
                    float width, int take_focus);
// The editor callbacks of the text fields: they edit, measure and draw the
// focused field's string in the proportional font.
extern const OGLE_Callbacks OGLE_cbs;
// The editor record all text fields share; null before the first field.
OGLE_Rec* BTN_text_editor();
// One queued key press applied to a field's editor: printable characters,
// Backspace and the arrows as the editor takes them; Delete deletes forward,
// Home and End go to the start and end (with Shift: extend the selection).
// Other keys do nothing.
void BTN_text_key(OGLE_Rec* editor, int character, int vkey, int flags);
// A field's string is going away (a copy made for one call): the editor
// stops pointing at it. The next call of the focused field points it again.
void BTN_text_forget(const std::string* text);

// ---------------------------------------------------------------------------
// Scrolling list and scroll bar
// ---------------------------------------------------------------------------

// List callbacks: an item's name or second text, and its kind (icon).
using btn_name_fn = std::string (*)(int index, void* data);
using btn_kind_fn = int (*)(int index, void* data);

// Element index of the std::vector<std::string> (resp. std::vector<int>)
// that data points to; the index is not checked.
std::string BTN_name_from_vector(int index, void* data);
int BTN_type_from_vector(int index, void* data);

// Scrolling list of items first .. last with its left edge at x and its
// vertical centre at y (width <= 0: 290, height <= 0: 220), 10-unit rows,
// item *centre on the middle row, *selection shaded; both are kept within
// first .. last. Click selects, the wheel and the scroll bar (slot 0..3)
// scroll, Up/Down move the selection, typing jumps to the first name that
// begins with the letters typed within a second of each other (any case).
// A non-null name adds a text field for it below the list. text_cb and
// kind_cb may be null. Returns 1 in the frame of a double click on a row.
int BTN_list_and_search(int slot, float x, float y, float width, float height, int* centre,
                        int* selection, int first, int last, std::string* name,
                        const std::string& name_label, btn_name_fn name_cb, void* name_data,
                        btn_name_fn text_cb, void* text_data, btn_kind_fn kind_cb, void* kind_data);
// The rows shown above and below the middle one for a list height.
int BTN_list_rows(float height);

// Vertical scroll bar from y_bottom to y_top at x; min at the top. Returns 1
// while its thumb is dragged. Slots 0..3; any other is fatal.
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int min, int max, int* value);
// Where the thumb is drawn, and the value a drag to mouse_y gives.
float BTN_slider_thumb_y(float y_bottom, float y_top, int min, int max, int value);
int BTN_slider_drag_value(float y_bottom, float y_top, int min, int max, float mouse_y);
