#include "xpgroupbox/xpgroupbox.h"

#include "xpgroupbox/frame_pieces.h"

namespace borvane {

namespace {
// Design-time box of the control: 3001 × 1335 twips.
constexpr Size kDesignPixels{200, 89};
// Design-time caption box: left 480, top 0, 480 × 195 twips.
constexpr RectF kDesignCaption{32, 0, 32, 13};
// Where every redraw puts the caption, in pixels.
constexpr float kCaptionLeft = 15;
constexpr float kCaptionTop = 0;
}  // namespace

xpgroupbox::xpgroupbox(Site& site) : UserControl(site, kDesignPixels) {
  m_Art = EmbeddedPicture("frame.gif");

  // Design-time caption; text, font and colours are replaced when the
  // settings are applied, and every redraw moves it to (15, 0).
  lbl.SetBounds(kDesignCaption);
  lbl.SetTextEngine(&site.Text());
  lbl.SetAutoSize(true);
  lbl.SetTransparent(false);
  lbl.SetCaption("Label1");
  lbl.OnChange = [this] { lbl_Change(); };
  lbl.OnClick = [this] { lbl_Click(); };
  lbl.OnDblClick = [this] { lbl_DblClick(); };
  lbl.OnMouseDown = [this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    lbl_MouseDown(b, s, x, y);
  };
  lbl.OnMouseMove = [this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    lbl_MouseMove(b, s, x, y);
  };
  lbl.OnMouseUp = [this](std::int16_t& b, std::int16_t& s, float& x, float& y) {
    lbl_MouseUp(b, s, x, y);
  };
  AddConstituent(lbl);

  Guarded([this] { UserControl_Initialize(); });
}

// --- The frame ------------------------------------------------------------

void xpgroupbox::UserControl_Initialize() { UserControl_Resize(); }

void xpgroupbox::UserControl_Resize() {
  ++m_Redraws;
  Surface& surface = Canvas();
  surface.SetScaleMode(Surface::kPixels);
  surface.Cls();
  const float width = surface.ScaleWidth();
  const float height = surface.ScaleHeight();
  // Raises Overflow for a caption more than 65535 pixels high, before the
  // caption moves.
  const std::int16_t t = CaptionHalfHeight(lbl.Height());
  lbl.SetLeft(kCaptionLeft);
  lbl.SetTop(kCaptionTop);
  // Each piece is worked out just before it is drawn: a failing side edge
  // leaves the pieces before it on the surface.
  for (int index = 0; index < kFramePieces; ++index) {
    const FramePiece piece = FramePieceAt(index, width, height, t);
    const RectF& d = piece.Destination;
    const Rect& s = piece.Source;
    surface.PaintPicture(m_Art, d.X, d.Y, d.Width, d.Height, static_cast<float>(s.X),
                         static_cast<float>(s.Y), static_cast<float>(s.Width),
                         static_cast<float>(s.Height));
  }
}

void xpgroupbox::lbl_Change() { UserControl_Resize(); }

// --- Events -----------------------------------------------------------------

// Clicks on the surface itself are not forwarded: Click and DblClick come
// from the caption only.
void xpgroupbox::lbl_Click() { GetSite().RaiseEvent(dispid::kClick, "Click", {}); }

void xpgroupbox::lbl_DblClick() { GetSite().RaiseEvent(dispid::kDblClick, "DblClick", {}); }

// The caption's events keep the caption's own coordinates.
void xpgroupbox::lbl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  RaiseMouseEvent(dispid::kMouseDown, "MouseDown", Button, Shift, X, Y);
}

void xpgroupbox::lbl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  RaiseMouseEvent(dispid::kMouseMove, "MouseMove", Button, Shift, X, Y);
}

void xpgroupbox::lbl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  RaiseMouseEvent(dispid::kMouseUp, "MouseUp", Button, Shift, X, Y);
}

void xpgroupbox::UserControl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X,
                                       float& Y) {
  RaiseMouseEvent(dispid::kMouseDown, "MouseDown", Button, Shift, X, Y);
}

void xpgroupbox::UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X,
                                       float& Y) {
  RaiseMouseEvent(dispid::kMouseMove, "MouseMove", Button, Shift, X, Y);
}

void xpgroupbox::UserControl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X,
                                     float& Y) {
  RaiseMouseEvent(dispid::kMouseUp, "MouseUp", Button, Shift, X, Y);
}

}  // namespace borvane
