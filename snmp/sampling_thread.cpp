#include "sampling_thread.h"

#include <system_error>

namespace qiraoid {

namespace {

// Owns a pthread attribute object for the span of one pthread_create.
class StackAttributes {
 public:
  explicit StackAttributes(std::size_t stack_bytes) {
    Check(pthread_attr_init(&attributes_), "pthread_attr_init");
    const int error = pthread_attr_setstacksize(&attributes_, stack_bytes);
    if (error != 0) {
      pthread_attr_destroy(&attributes_);
      Check(error, "pthread_attr_setstacksize");
    }
  }
  ~StackAttributes() { pthread_attr_destroy(&attributes_); }
  StackAttributes(const StackAttributes&) = delete;
  StackAttributes& operator=(const StackAttributes&) = delete;

  const pthread_attr_t* get() const { return &attributes_; }

  static void Check(int error, const char* what) {
    if (error != 0) throw std::system_error(error, std::generic_category(), what);
  }

 private:
  pthread_attr_t attributes_;
};

}  // namespace

SamplingThread::SamplingThread(std::function<void()> body, std::size_t stack_bytes)
    : body_(std::make_unique<std::function<void()>>(std::move(body))) {
  const StackAttributes attributes(stack_bytes);
  StackAttributes::Check(pthread_create(&thread_, attributes.get(), &SamplingThread::Run, body_.get()),
                         "pthread_create");
  joinable_ = true;
}

SamplingThread::~SamplingThread() { join(); }

void SamplingThread::join() {
  if (!joinable_) return;
  pthread_join(thread_, nullptr);
  joinable_ = false;
}

void* SamplingThread::Run(void* body) noexcept {
  (*static_cast<std::function<void()>*>(body))();
  return nullptr;
}

}  // namespace qiraoid
