#include "xpcmdbutton/xpcmdbutton.h"

#include "xpcmdbutton/face_pieces.h"

namespace borvane {

namespace {
constexpr std::uint32_t kPollMs = 10;
}  // namespace

xpcmdbutton::xpcmdbutton(Site& site) : UserControl(site, {113, 77}), Timer1(site.Loop()) {
  pc.SetPicture(EmbeddedPicture("face_strip.bmp"));
  pc.SetColumns(kFaceCells);
  pc.SetRows(1);

  // Design-time caption; every value here is replaced when the settings
  // are applied.
  lbl.SetTextEngine(&site.Text());
  lbl.SetAutoSize(true);
  lbl.SetAlignment(Label::Alignment::Center);
  lbl.SetTransparent(true);
  lbl.SetForeColor(colours::kWindowText);
  lbl.SetCaption("xpcmdbutton");
  lbl.SetLeft(31);
  lbl.SetTop(16);
  lbl.OnChange = [this] { lbl_Change(); };
  lbl.OnClick = [this] { lbl_Click(); };
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

  Timer1.SetInterval(kPollMs);
  Timer1.SetEnabled(false);
  Timer1.OnTimer = [this] { Guarded([this] { Timer1_Timer(); }); };

  Guarded([this] { UserControl_Initialize(); });
}

// --- Faces --------------------------------------------------------------

void xpcmdbutton::ShowRestFace() {
  if (State() == 1) m_RestFace = 4;
  if (State() == 0) m_RestFace = 0;
  if (Canvas().Enabled()) {
    DrawFace(m_RestFace);
  } else {
    DrawFace(2);
  }
}

void xpcmdbutton::DrawFace(const std::int16_t& Cell) {
  Surface& surface = Canvas();
  surface.SetScaleMode(Surface::kPixels);
  // Raises Overflow for H − 6 beyond 16 bits before any piece is drawn.
  const auto pieces = FacePieces(surface.ScaleWidth(), surface.ScaleHeight());
  for (const FacePiece& piece : pieces) {
    // The strip is asked for the cell again before every piece.
    const Picture cell = pc.GraphicCell(Cell);
    const RectF& d = piece.Destination;
    const Rect& s = piece.Source;
    surface.PaintPicture(cell, d.X, d.Y, d.Width, d.Height, static_cast<float>(s.X),
                         static_cast<float>(s.Y), static_cast<float>(s.Width),
                         static_cast<float>(s.Height));
  }
}

void xpcmdbutton::UserControl_Initialize() { ShowRestFace(); }

void xpcmdbutton::UserControl_Resize() {
  ShowRestFace();
  lbl.SetTop((Canvas().ScaleHeight() - lbl.Height()) / 2);
  lbl.SetLeft((Canvas().ScaleWidth() - lbl.Width()) / 2);
}

void xpcmdbutton::UserControl_Show() { ShowRestFace(); }

// --- Mouse, keys and polling ---------------------------------------------

void xpcmdbutton::UserControl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X,
                                        float& Y) {
  RaiseMouseEvent(dispid::kMouseDown, "MouseDown", Button, Shift, X, Y);
  DrawFace(1);
}

void xpcmdbutton::UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X,
                                        float& Y) {
  Timer1.SetEnabled(true);
  const float width = Canvas().ScaleWidth();
  const float height = Canvas().ScaleHeight();
  // The column x = W and the row y = H count as inside.
  if (X >= 0 && X <= width && Y >= 0 && Y <= height) {
    RaiseMouseEvent(dispid::kMouseMove, "MouseMove", Button, Shift, X, Y);
    // Read again: the host's handler may have changed it.
    if (Button == 1) {
      DrawFace(1);
    } else {
      DrawFace(3);
    }
  }
}

void xpcmdbutton::UserControl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X,
                                      float& Y) {
  RaiseMouseEvent(dispid::kMouseUp, "MouseUp", Button, Shift, X, Y);
  ShowRestFace();
}

void xpcmdbutton::UserControl_Click() { GetSite().RaiseEvent(dispid::kClick, "Click", {}); }

void xpcmdbutton::UserControl_AccessKeyPress(std::int16_t&) {
  GetSite().RaiseEvent(dispid::kClick, "Click", {});
}

void xpcmdbutton::UserControl_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
  const EventArg args[] = {&KeyCode, &Shift};
  GetSite().RaiseEvent(dispid::kKeyDown, "KeyDown", args);
}

void xpcmdbutton::UserControl_KeyPress(std::int16_t& KeyAscii) {
  const EventArg args[] = {&KeyAscii};
  GetSite().RaiseEvent(dispid::kKeyPress, "KeyPress", args);
}

void xpcmdbutton::UserControl_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
  const EventArg args[] = {&KeyCode, &Shift};
  GetSite().RaiseEvent(dispid::kKeyUp, "KeyUp", args);
}

void xpcmdbutton::lbl_Click() { UserControl_Click(); }

void xpcmdbutton::lbl_Change() { UserControl_Resize(); }

void xpcmdbutton::lbl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  UserControl_MouseDown(Button, Shift, X, Y);
}

void xpcmdbutton::lbl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float&, float&) {
  // The label's position stands in for the pointer: wherever the cursor is
  // on the label, the move counts as at the label's top-left corner.
  float left = lbl.Left();
  float top = lbl.Top();
  UserControl_MouseMove(Button, Shift, left, top);
}

void xpcmdbutton::lbl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
  UserControl_MouseUp(Button, Shift, X, Y);
}

void xpcmdbutton::Timer1_Timer() {
  const Point cursor = GetSite().Cursor().CursorInClient(Canvas().hWnd());
  const double left = Canvas().ScaleLeft();
  const double top = Canvas().ScaleTop();
  const double width = Canvas().ScaleWidth();
  const double height = Canvas().ScaleHeight();
  const double x = cursor.X;
  const double y = cursor.Y;
  if (x < left || y < top || x > left + width || y > top + height) {
    Timer1.SetEnabled(false);
    GetSite().RaiseEvent(kMouseOut, "MouseOut", {});
    ShowRestFace();
  }
}

}  // namespace borvane
