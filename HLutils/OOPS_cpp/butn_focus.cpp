// The keyboard focus ring, the field queues and the rules for consuming them.
#include "OOPS_cpp/butn_focus.h"

#include <algorithm>

#include "GenH/hl_types.h"
#include "OOPS_cpp/keys_tables.h"

focus_ring_state focus_ring;

namespace
{
void remember_queues(const focus_info_t& f)
{
    for (focus_info_t& q : focus_ring.queues)
        if (q.counter == f.counter) {
            q = f;
            return;
        }
    focus_ring.queues.push_back(f);
}

int used_entries(const focus_info_t& q)
{
    return std::clamp(*q.counter, 0, q.capacity);
}

void clear_entry(const focus_info_t& q, int i)
{
    q.char_queue[i] = q.vkey_queue[i] = q.flag_queue[i] = q.key_queue[i] = 0;
}

bool drawn_in_ring(int key, const focus_info_t& q)
{
    for (const focus_info_t& f : focus_ring.drawn)
        if (f.key == key && f.counter == q.counter) return true;
    return false;
}

// Keeps the entries whose field is in the ring, in order, at the front.
void drop_stale_entries(const focus_info_t& q)
{
    const int used = used_entries(q);
    int live = 0;
    for (int i = 0; i < used; ++i) {
        if (q.key_queue[i] == 0 || !drawn_in_ring(q.key_queue[i], q)) continue;
        q.char_queue[live] = q.char_queue[i];
        q.vkey_queue[live] = q.vkey_queue[i];
        q.flag_queue[live] = q.flag_queue[i];
        q.key_queue[live] = q.key_queue[i];
        ++live;
    }
    for (int i = live; i < used; ++i)
        clear_entry(q, i);
    *q.counter = live;
}

int find_in_ring(int key)
{
    if (key == 0) return -1;
    const std::vector<focus_info_t>& drawn = focus_ring.drawn;
    for (size_t i = 0; i < drawn.size(); ++i)
        if (drawn[i].key == key) return static_cast<int>(i);
    return -1;
}

bool is_letter(int c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
} // namespace

int BTN_field_key(float x, float y)
{
    return static_cast<int>(y) + static_cast<int>(x) * 8192;
}

int BTN_focus_accepts(int mask, int character, int vkey)
{
    int bit;
    switch (vkey) {
    case ZYNT_VK_TAB:
        bit = kAcceptTab;
        break;
    case ZYNT_VK_RETURN:
    case ZYNT_VK_ENTER:
        bit = kAcceptReturn;
        break;
    case ZYNT_VK_BACK:
    case ZYNT_VK_DELETE:
        bit = kAcceptErase;
        break;
    case ZYNT_VK_ESCAPE:
        bit = kAcceptEscape;
        break;
    default:
        if (vkey >= ZYNT_VK_PRIOR && vkey <= ZYNT_VK_DOWN)
            bit = kAcceptNavigation;
        else if (is_letter(character))
            bit = kAcceptLetters;
        else if (character >= '0' && character <= '9')
            bit = kAcceptDigits;
        else if (character == '+' || character == '-')
            bit = kAcceptSigns;
        else if (character >= ' ' && character <= '~') // isprint of the C locale
            bit = kAcceptPrintable;
        else
            bit = kAcceptOther;
    }
    return (mask & bit) ? 1 : 0;
}

void BTN_begin_focus_ring()
{
    for (const focus_info_t& q : focus_ring.queues)
        drop_stale_entries(q);
    focus_ring.drawn.clear();
    focus_ring.window_claimed = 0;
}

int BTN_register_focus(int key, int* char_queue, int* vkey_queue, int* flag_queue, int* key_queue,
                       int* counter, int capacity, int accept_mask, int take_focus)
{
    const focus_info_t f{key,       char_queue, vkey_queue, flag_queue,
                         key_queue, counter,    capacity,   accept_mask};
    focus_ring.drawn.push_back(f);
    remember_queues(f);
    if (take_focus) focus_ring.focused = key;
    return key == focus_ring.focused ? 1 : 0;
}

int BTN_register_focus(int key, focus_queue_t& q, int accept_mask, int take_focus)
{
    return BTN_register_focus(key, q.chars, q.vkeys, q.flags, q.keys, &q.counter, kFocusQueueCap,
                              accept_mask, take_focus);
}

int BTN_dispatch_to_focus(int character, int vkey, int flags)
{
    if (mnw.win_now == kWinAlert) return 0;
    focus_ring_state& r = focus_ring;
    const bool tab_press = vkey == ZYNT_VK_TAB && !(flags & kKeyFlagUp);

    const int at = find_in_ring(r.focused);
    if (at < 0) {
        // Nothing focused, or the focused field was not drawn last frame.
        r.focused = 0;
        if (!tab_press || r.drawn.empty()) return 0;
        r.focused = r.drawn.front().key;
        return 1;
    }

    const focus_info_t& f = r.drawn[at];
    if (vkey == ZYNT_VK_TAB && !(f.accept_mask & kAcceptTab)) {
        if (!tab_press) return 0;
        const int n = static_cast<int>(r.drawn.size());
        const int next = (flags & kKeyFlagShift) ? (at + n - 1) % n : (at + 1) % n;
        r.focused = r.drawn[next].key;
        return 1;
    }
    if (!BTN_focus_accepts(f.accept_mask, character, vkey)) return 0;

    const int i = *f.counter;
    if (i < 0 || i >= f.capacity) return 1; // full: the field's key all the same
    f.char_queue[i] = character;
    f.vkey_queue[i] = vkey;
    f.flag_queue[i] = flags;
    f.key_queue[i] = r.focused;
    *f.counter = i + 1;
    return 1;
}

int BTN_keys_queued()
{
    for (const focus_info_t& q : focus_ring.queues)
        if (used_entries(q) > 0) return 1;
    return 0;
}

void BTN_unfocus_any()
{
    focus_ring.focused = 0;
}

void BTN_focus_window_changed()
{
    BTN_unfocus_any();
    for (const focus_info_t& q : focus_ring.queues) {
        for (int i = 0; i < used_entries(q); ++i)
            clear_entry(q, i);
        *q.counter = 0;
    }
    focus_ring.drawn.clear();
    focus_ring.window_claimed = 0;
}

int BTN_consume_keys(focus_queue_t& q, int key, focus_key_t out[kFocusQueueCap])
{
    const int used = std::clamp(q.counter, 0, kFocusQueueCap);
    int waiting = 0, n = 0;
    for (int i = 0; i < used; ++i) {
        if (q.keys[i] != 0) ++waiting;
        if (q.keys[i] != key) continue;
        if ((q.chars[i] || q.vkeys[i]) && !(q.flags[i] & kKeyFlagUp))
            out[n++] = focus_key_t{q.chars[i], q.vkeys[i], q.flags[i]};
        q.chars[i] = q.vkeys[i] = q.flags[i] = q.keys[i] = 0;
    }
    // Back to 0 only once nothing at all is waiting, so that the entries of
    // other fields keep their places.
    if (waiting == 0) q.counter = 0;
    return n;
}
