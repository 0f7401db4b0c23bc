#pragma once
// Something that sits on a control's surface above its drawing and takes
// its own mouse input: a label, or a contained control. The parent draws
// its constituents into a frame in the order they were added (last on top),
// cut at the parent's edges,
// and sends each mouse notification to the topmost visible one under the
// pointer, in that constituent's own pixels.

#include <cstdint>
#include <functional>

#include "container/geometry.h"
#include "container/image.h"

namespace borvane {

// Mouse notification parameters, all by reference: the host may change them.
// Button and Shift are the platform's button and modifier codes; X and Y are
// in the receiver's unit, origin at its top-left corner.
using MouseHandler =
    std::function<void(std::int16_t& button, std::int16_t& shift, float& x, float& y)>;

class Constituent {
 public:
  virtual ~Constituent() = default;

  // Where it lies on the parent, in whole parent pixels.
  virtual Rect PixelRect() const = 0;
  virtual bool IsShown() const = 0;
  // Draws it into `frame` with its top-left corner at `origin`.
  virtual void PaintInto(Image& frame, Point origin) const = 0;

  // Mouse input in its own pixels.
  virtual void MouseDown(std::int16_t button, std::int16_t shift, float x, float y) = 0;
  virtual void MouseMove(std::int16_t button, std::int16_t shift, float x, float y) = 0;
  virtual void MouseUp(std::int16_t button, std::int16_t shift, float x, float y) = 0;
  virtual void Click() = 0;
  virtual void DblClick() = 0;
  // Whether it turns a press and release into a click by itself (a
  // contained control does); the parent then sends it no Click of its own.
  virtual bool ClicksItself() const { return false; }
};

}  // namespace borvane
