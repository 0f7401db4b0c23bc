#pragma once
// The line constituent: a one-pixel straight line between two points of
// the parent, in the parent's pixels, both ends drawn. It takes no input:
// mouse notifications over it do nothing.

#include <cstdint>

#include "container/colour.h"
#include "container/constituent.h"
#include "container/geometry.h"
#include "container/property_store.h"

namespace borvane {

class Line : public Constituent {
 public:
  PointF From() const { return m_From; }
  PointF To() const { return m_To; }
  void SetEnds(PointF from, PointF to) {
    m_From = from;
    m_To = to;
  }
  Colour BorderColor() const { return m_Colour; }
  void SetBorderColor(Colour colour) { m_Colour = colour; }
  bool Visible() const { return m_Visible; }
  void SetVisible(bool visible) { m_Visible = visible; }

  // Loads a stored line: "X1", "Y1", "X2", "Y2" in twips, "BorderColor",
  // "Visible".
  void ReadProperties(const PropertyStore& store);

  // Constituent: the rectangle that holds both ends.
  Rect PixelRect() const override;
  bool IsShown() const override { return m_Visible; }
  void PaintInto(Image& frame, Point origin) const override;
  void MouseDown(std::int16_t, std::int16_t, float, float) override {}
  void MouseMove(std::int16_t, std::int16_t, float, float) override {}
  void MouseUp(std::int16_t, std::int16_t, float, float) override {}
  void Click() override {}
  void DblClick() override {}

 private:
  PointF m_From;
  PointF m_To;
  Colour m_Colour = colours::kBlack;
  bool m_Visible = true;
};

}  // namespace borvane
