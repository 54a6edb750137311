#pragma once
// The serial channel to the programmer: exactly-sized writes and reads under total time-outs,
// the DSR check, the reset pulse, the rate change and the programmer's command set. Nothing
// here throws: every failure leaves its text in LastError, which the caller collects with
// TakeLastError() right after each operation (empty text = success).
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/link/serial_port.h"

namespace jqz {

// Messages of the channel.
inline constexpr const char* kErrorOpeningPort = "Error opening port: ";
inline constexpr const char* kErrorTimeOutConstant = "Error setup Time Out Constant";
inline constexpr const char* kCommunicationError = "PC too Programmer Communication Error.";
inline constexpr const char* kTransmitterTimeOut = "Transmitter TimeOut Error.";
inline constexpr const char* kReceiverTimeOut = "Receiver TimeOut Error.";
inline constexpr const char* kErrorBaudRate = "Error setup Baud Rate";
inline constexpr const char* kModemStatusError = "Message72";

// The programmer's interface answers.
inline constexpr const char* kInCircuitInterface = "In-Circuit Programming Interface. ";
inline constexpr const char* kOnBoardInterface = "On-Board Programming Interface. ";

// Watches the DSR line of an open port every 100 ms and clears the connection's Connected
// flag when the programmer goes away. The port stays open.
class Comm_EventTh {
public:
    Comm_EventTh(SerialPort& port, std::atomic<bool>* connected);
    ~Comm_EventTh();  // stops and joins
    Comm_EventTh(const Comm_EventTh&) = delete;
    Comm_EventTh& operator=(const Comm_EventTh&) = delete;

private:
    void run();
    SerialPort& port_;
    std::atomic<bool>* connected_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool terminated_ = false;
    std::thread thread_;
};

class IO_DLL_R_W {
public:
    // Opens and configures the port (9600 8N1, CTS and DSR output flow control, DSR
    // sensitivity, DTR and RTS on), starts the DSR watcher, then waits 200 ms. Check
    // LastError afterwards. connected: the flag the watcher clears on DSR off (may be null).
    // stopFlag: a stop request, which ends the port's waits on a silent line (may be null).
    IO_DLL_R_W(const std::string& portName, const PortOpener& opener,
               std::atomic<bool>* connected = nullptr,
               const std::atomic<bool>* stopFlag = nullptr);
    // Stops the watcher, aborts pending input, closes the port.
    ~IO_DLL_R_W();
    IO_DLL_R_W(const IO_DLL_R_W&) = delete;
    IO_DLL_R_W& operator=(const IO_DLL_R_W&) = delete;

    bool isOpen() const { return port_ != nullptr; }
    // Why the port did not open (an errno value), 0 when it did.
    int openError() const { return openError_; }

    void SetTimeouts(int seconds);
    // True when all count bytes went out; otherwise "Transmitter TimeOut Error." is recorded.
    bool WriteBytes(const std::uint8_t* buffer, std::size_t count);
    // True when all count bytes arrived; otherwise "Receiver TimeOut Error." is recorded and
    // the bytes not received leave the rest of the buffer unchanged (so it may still hold an
    // earlier reply: a caller never looks at it after a false).
    bool ReadBytes(std::uint8_t* buffer, std::size_t count);
    // Discards whatever has arrived and not been read: a late answer to an earlier request
    // is never taken for the answer to the next one. Every command starts with it.
    void PurgeInput();
    // Reads away whatever still comes until the line has been silent for 100 ms (at most
    // 3 s): after a stop, a late answer to the stopped request is not left for whoever
    // opens the port next. Leaves LastError and the time-outs as they were.
    void DrainInput();
    std::string TakeLastError();
    const std::string& LastError() const { return lastError_; }
    bool ProgrammerPresent();
    // DSR is off or the modem status cannot be read: the programmer has gone away. Leaves
    // LastError alone.
    bool ProgrammerLost();
    // Purges everything and pulses DTR off for 500 ms.
    void ResetProgrammer();
    // Changes only the PC side's rate, keeping every other setting.
    void SetBaudRate(int rate);
    int baudRate() const { return settings_.baudRate; }

    // The programmer's command set. A request that does not go out whole, or a reply that
    // does not arrive in full, ends its command at once with the channel's time-out text
    // ("Transmitter TimeOut Error." / "Receiver TimeOut Error."): no check is made on a
    // partial reply and no status is asked for afterwards, so nothing clears that text and
    // a partial reply's bytes are never handed on as data.
    void SelectDeviceType(std::uint8_t type);
    void ReadStatus();
    void ReadPinTesterReport();
    void SetProgrammerBaud(int rate);
    std::string ReadMode();
    std::string ReadIdentification();
    std::string ReadInterface();
    void SetPinTesterOptions(std::uint8_t flags);
    void PowerOff();
    std::uint8_t ReadByte(int address);
    // buffer: at least 129 bytes; the request is built in it, the 128 data bytes come back in
    // buffer[0..127] and their check in buffer[128].
    void ReadBlock(int address, std::uint8_t* buffer);
    void ReadBlock(int address, std::array<std::uint8_t, 129>& buffer) {
        ReadBlock(address, buffer.data());
    }
    void WriteByte(int address, std::uint8_t value);
    void WriteBlock(int address, const std::uint8_t* data);  // 128 bytes
    void EraseEeprom();
    std::string ReadDeviceId();
    void LinkDevice();

private:
    // Sets the command's time-out and clears the input before its request.
    void beginCommand(int seconds);
    // Writes the request, then reads a reply of replyCount bytes; false as WriteBytes and
    // ReadBytes say.
    bool exchange(const std::uint8_t* request, std::size_t count, std::uint8_t* reply,
                  std::size_t replyCount);
    void writeThenStatus(const std::uint8_t* request, std::size_t count);
    void writeByteWise(const std::uint8_t* request, std::size_t count);

    std::unique_ptr<SerialPort> port_;
    int openError_ = 0;
    PortTimeouts timeouts_;
    LineSettings settings_;
    std::string lastError_;
    std::unique_ptr<Comm_EventTh> watcher_;
};

// The status texts by code (index 0..23), "Unknoun Error" for higher codes.
std::string StatusText(int code);
// The pin-tester report for the two report bytes, as ReadPinTesterReport appends it.
std::string PinTesterText(std::uint8_t dataPins, std::uint8_t controlPins);
// Rate code of the baud command for 19200, 38400 and 57600; 0 for any other rate.
std::uint8_t ProgrammerBaudCode(int rate);

// Plain words for a port that did not open: why, and what to do about it.
std::string PortOpenAdvice(const std::string& portName, int error);
// The advice's last sentence for a port that does not exist, where the windows choose ports.
inline constexpr const char* kChoosePortInWindow =
    "Choose the port again in Tools > Comm Port Options ...";
// The advice of a first start whose port opened but where no programmer answered.
inline constexpr const char* kFirstStartNoProgrammer =
    "No programmer answered on the first serial port found. Choose its port in Tools > Comm "
    "Port Options ..., or \"Virtual Programmer\" there to try the program without hardware.";

}  // namespace jqz
