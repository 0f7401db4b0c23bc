#include "container/label.h"

namespace borvane {

void Label::SetCaption(std::string caption) {
  if (caption == m_Caption) return;
  m_Caption = std::move(caption);
  if (OnChange) OnChange();
}

}  // namespace borvane
