// Basic value types of the editor's view layer: points, rectangles, colours,
// mouse-button states and the reference-counted base object. The names and
// argument orders follow VSTGUI, so editor code reads as VSTGUI code.
#pragma once

#include <algorithm>
#include <cstdint>

namespace VSTGUI {

using CCoord = double;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    CPoint() = default;
    CPoint(CCoord xValue, CCoord yValue) : x(xValue), y(yValue) {}
    CPoint& offset(CCoord dx, CCoord dy) { x += dx; y += dy; return *this; }
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
};

// A rectangle held as left, top, right, bottom; right and bottom are exclusive.
struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    CPoint getTopLeft() const { return CPoint(left, top); }

    CRect& offset(CCoord dx, CCoord dy) {
        left += dx; right += dx; top += dy; bottom += dy;
        return *this;
    }
    bool pointInside(const CPoint& where) const {
        return where.x >= left && where.x < right && where.y >= top && where.y < bottom;
    }
    bool rectOverlap(const CRect& other) const {
        return !isEmpty() && !other.isEmpty() && left < other.right && other.left < right &&
               top < other.bottom && other.top < bottom;
    }
    CRect& bound(const CRect& limit) {
        left = std::max(left, limit.left);
        top = std::max(top, limit.top);
        right = std::min(right, limit.right);
        bottom = std::min(bottom, limit.bottom);
        if (isEmpty()) *this = CRect();
        return *this;
    }
    CRect& unite(const CRect& other) {
        if (other.isEmpty()) return *this;
        if (isEmpty()) { *this = other; return *this; }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr CColor() = default;
    constexpr CColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
        : red(r), green(g), blue(b), alpha(a) {}
    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
};

// Mouse buttons and keyboard modifiers of a mouse event. kControl is the
// Ctrl key (the default-value gesture of the controls).
enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
};

class CButtonState {
public:
    CButtonState(int32_t state = 0) : state_(state) {}
    bool isLeftButton() const { return (state_ & kLButton) != 0; }
    int32_t getModifierState() const { return state_ & (kShift | kControl | kAlt); }
    operator int32_t() const { return state_; }

private:
    int32_t state_;
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

// Reference counting: an object starts with one reference, held by its
// creator; remember() adds one, forget() drops one and deletes the object
// when none is left.
class CBaseObject {
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject() = default;

    void remember() { ++referenceCount_; }
    void forget() {
        if (--referenceCount_ == 0) delete this;
    }
    int32_t getNbReference() const { return referenceCount_; }

private:
    int32_t referenceCount_ = 1;
};

}  // namespace VSTGUI
