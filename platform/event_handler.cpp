#include "platform/event_handler.h"

#include <new>

#include "common/codepage.h"
#include "common/errors.h"
#include "platform/message_box.h"

namespace cluster {

void RunHandler(const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const Exception& error) {
    ShowErrorBox(error.Message());
  } catch (const std::bad_alloc&) {
    ShowErrorBox(Cp932FromUtf8("メモリが不足しています"));
  } catch (const std::exception& error) {
    // Not one of the program's own errors: shown as it is, in ASCII at best.
    ShowErrorBox(error.what());
  } catch (...) {
    ShowErrorBox(Cp932FromUtf8("予期しないエラーが発生しました"));
  }
}

}  // namespace cluster
