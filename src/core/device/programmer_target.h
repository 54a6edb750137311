#pragma once
// The programmer as a TargetLink: its command set over the connection COM, through the
// checks and linking of SequenceLink. What goes over the wire and into the log is what the
// sequences sent and logged before they spoke through TargetLink.
#include <memory>

#include "core/device/target_link.h"

namespace jqz {

class ProgrammerTarget final : public TargetLink {
public:
    // com: the connection someone else owns (may be null), or owned: one of the link's own.
    explicit ProgrammerTarget(COM* com);
    explicit ProgrammerTarget(std::unique_ptr<COM> owned);
    ~ProgrammerTarget() override;

    LinkKind kind() const override { return LinkKind::Programmer; }
    std::string portName() const override;
    std::string logLine() const override { return statusLine(); }
    std::string statusLine() const override;
    LinkAbility Can(TargetAction, const std::string&) const override { return {}; }
    std::string QuestionBeforeRun(const std::string&) const override { return {}; }
    void SetConfirmed(bool) override {}
    std::unique_ptr<TargetSession> OpenSession(const DeviceMap& device, LogSink& log) override;
    COM* programmer() override { return com_; }

    bool Idle() const override;
    void MarkBusy() override;
    void MarkIdle() override;
    void RequestStop() override;
    void ClearStop() override;
    bool StopRequested() const override;
    void AfterInterruption() override;

private:
    std::unique_ptr<COM> owned_;
    COM* com_;
};

}  // namespace jqz
