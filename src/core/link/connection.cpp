#include "core/link/connection.h"

#include <chrono>
#include <thread>

namespace jqz {

namespace {
void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}
}  // namespace

bool IsProgrammerIdentification(const std::string& reply) {
    return reply.rfind(kProgrammerName, 0) == 0;
}

COM::COM(std::string portName, int baudRate, PortOpener opener)
    : PortName(std::move(portName)), BaudRate(baudRate), opener_(std::move(opener)) {
    Detect();
}

COM::~COM() {
    if (Connected && channel_) {
        if (channel_->ProgrammerPresent()) channel_->PowerOff();
    }
    closeChannel();
}

void COM::closeChannel() { channel_.reset(); }

void COM::Detect() {
    if (Connected) return;
    Idle = false;
    ResultText = kProgrammerNotFound;
    ResultAdvice.clear();
    if (channel_) {
        closeChannel();
        pauseMs(200);
    }
    channel_ = std::make_unique<IO_DLL_R_W>(PortName, opener_, &Connected, &StopRequested);
    if (std::string error = channel_->TakeLastError(); !error.empty()) {
        ResultText = error;
        ResultAdvice = PortOpenAdvice(PortName, channel_->openError());
        closeChannel();
        Idle = true;
        return;
    }
    if (!channel_->ProgrammerPresent()) {
        closeChannel();
        Idle = true;
        return;
    }
    std::string identification = channel_->ReadIdentification();
    if (channel_->LastError().empty() && !IsProgrammerIdentification(identification)) {
        // A whole reply that is no identification may be one shifted by a late answer to a
        // request of an earlier run (a programmer that finished what it was doing when that
        // run was stopped): once the line is silent, the question is asked once more.
        channel_->DrainInput();
        identification = channel_->ReadIdentification();
    }
    if (std::string error = channel_->TakeLastError(); !error.empty()) {
        ResultText = error;
        if (channel_->ProgrammerLost()) ResultAdvice = kProgrammerLost;
        closeChannel();
        Idle = true;
        return;
    }
    if (!IsProgrammerIdentification(identification)) {
        // Whatever answers here is not our programmer: the port is let go, so that the next
        // detection (or another program) can open it.
        closeChannel();
        Idle = true;
        return;
    }
    ResultText = identification + kDetectedSuffix;
    Connected = true;

    auto failAfterConnect = [this](std::string error) {
        ResultText = std::move(error);
        if (channel_->ProgrammerLost()) ResultAdvice = kProgrammerLost;
        closeChannel();
        Connected = false;
        Idle = true;
    };
    const std::string mode = channel_->ReadMode();
    if (std::string error = channel_->TakeLastError(); !error.empty())
        return failAfterConnect(std::move(error));
    if (contains(mode, "NORMAL")) {
        channel_->SetProgrammerBaud(BaudRate);
        if (std::string error = channel_->TakeLastError(); !error.empty())
            return failAfterConnect(std::move(error));
        const std::string again = channel_->ReadIdentification();
        if (std::string error = channel_->TakeLastError(); !error.empty())
            return failAfterConnect(std::move(error));
        if (!IsProgrammerIdentification(again)) {
            ResultText = kErrorBaudRate;
            if (channel_->ProgrammerLost()) ResultAdvice = kProgrammerLost;
        }
    }
    Idle = true;
}

void ReplaceConnection(std::unique_ptr<COM>& current, const std::optional<std::string>& portName,
                       const std::optional<int>& baudRate, const PortOpener& opener) {
    std::string port = current ? current->PortName : std::string("COM1");
    int rate = current ? current->BaudRate : 9600;
    if (portName) port = *portName;
    if (baudRate) rate = *baudRate;
    current.reset();
    pauseMs(200);
    current = std::make_unique<COM>(port, rate, opener);
}

}  // namespace jqz
