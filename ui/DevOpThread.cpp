#include "DevOpThread.h"

#include "TQV17MainForm.h"

namespace krt {

DevOpThread::DevOpThread(TQV17MainForm* form, uint8_t code)
    : form_(form), record_(&form->Record()), code_(code), request_(form->BuildRequest(code)) {}

DevOpThread::~DevOpThread() { wait(); }

void DevOpThread::run() {
    result_.store(form_->Send(request_, *record_));
    terminated_.store(true);
}

}  // namespace krt
