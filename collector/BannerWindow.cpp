#include "collector/BannerWindow.h"

#include "widgets/qt/caplabel_qt.h"

namespace banner {

void MakeBannerWindow(platform::qt::TForm& window) {
  RegisterCapLabelClass();
  window.setAttribute(Qt::WA_QuitOnClose, false);
  window.setAttribute(Qt::WA_ShowWithoutActivating, true);
}

}  // namespace banner
