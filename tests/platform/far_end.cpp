#include "tests/platform/far_end.h"

namespace platform::testing {

namespace {

class PtyFarEnd final : public FarEnd {
 public:
  std::string PortName() const override { return pty_.SlavePath(); }
  void Send(const std::string& bytes) override { pty_.Send(bytes); }
  std::string Receive(size_t count, std::chrono::milliseconds within) override {
    return pty_.Receive(count, within);
  }
  void Close() override { pty_.CloseMaster(); }
  size_t Unreadable() const override { return size_t{1} << 20; }

 private:
  PtyPair pty_;
};

}  // namespace

std::unique_ptr<FarEnd> MakeFarEnd(FarEnd::Kind kind) {
  if (kind == FarEnd::Kind::Tcp) return std::make_unique<TcpFarEnd>();
  return std::make_unique<PtyFarEnd>();
}

}  // namespace platform::testing
