#include "printing/print_service.h"

#include <mutex>
#include <utility>

namespace nerolin::printing {
namespace {

std::mutex g_mutex;

std::shared_ptr<PrintService>& Slot() {
  static auto* slot = new std::shared_ptr<PrintService>(SystemPrintService());
  return *slot;
}

}  // namespace

std::shared_ptr<PrintService> SharedPrintService() {
  std::lock_guard lock(g_mutex);
  return Slot();
}

ScopedPrintService::ScopedPrintService(std::shared_ptr<PrintService> service) {
  std::lock_guard lock(g_mutex);
  previous_ = std::exchange(Slot(), std::move(service));
}

ScopedPrintService::~ScopedPrintService() {
  std::lock_guard lock(g_mutex);
  Slot() = std::move(previous_);
}

}  // namespace nerolin::printing
