// The serial channel to the resident monitor: port opening, reception thread and sending queue.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace korvan::monitor {

// Status lines the channel writes into the terminal (the caller picks the language).
struct ComTreadTexts {
    std::string opening = "Ouverture du port %s\n";  // %s: the port name as configured
    std::string cannotOpen = "Impossible d'ouvrir!";
    // Written when the line is lost (hang-up or I/O error); %s: the port name.
    std::string lineLost = "\r\nLiaison perdue avec le module (port %s).\r\n";
};

// One serial port to the module. The constructor opens the port (exclusive, existing device
// only) and writes its status lines to the document; Start() runs the reception thread, which
// configures the line and then passes every received byte to the document. Everything sent
// goes through the channel's own sending thread, in call order, so the caller never waits; the
// thread starts writing once Start() has configured the line (or found it unusable).
class ComTread {
public:
    // What the channel needs of the monitor document. ReceiveChars and RefreshView are called on
    // the reception thread (ReceiveChars also on the constructing thread for the opening lines).
    struct Document {
        virtual ~Document() = default;
        virtual void ReceiveChars(const char* bytes, std::size_t count) = 0;
        virtual void RefreshView() = 0;  // once after each drained burst of reception
        // The channel's own status lines (opening, failure, loss), shown like received bytes
        // but not received from the module.
        virtual void ReceiveStatus(const char* bytes, std::size_t count) { ReceiveChars(bytes, count); }
        // The port refused the line settings (called once, on the reception thread; the port
        // is closed and the reception thread ends afterwards).
        virtual void ConfigureFailed(const std::string& portName) {}
        // The line was lost (the other end hung up, or reading or writing failed): called once,
        // on the reception thread, after the channel's own text went through ReceiveChars and
        // RefreshView; the port is closed and the reception thread ends afterwards.
        virtual void LineLost() {}
    };
    using Texts = ComTreadTexts;

    ComTread(Document& doc, std::string portName, int detectEnabled, Texts texts = {});
    ~ComTread();  // stops both threads (queued items dropped), purges and closes the port
    ComTread(const ComTread&) = delete;
    ComTread& operator=(const ComTread&) = delete;

    void Start();          // starts the reception thread: ConfigurePort, then ReceiveLoop
    void StopReception();  // ends the reception loop and waits for it; prompt even while blocked
    int DetectEnabled() const { return m_detectEnabled; }
    bool IsOpen() const { return m_fd.load() >= 0; }
    bool IsReceiving() const { return m_running.load(); }  // configured and in the loop
    bool IsLineLost() const { return m_lineLost.load(); }  // hung up or failed after it was configured
    const std::string& PortName() const { return m_portName; }
    // "COM1".."COM4" -> /dev/ttyS0../dev/ttyS3; any other name is used as given.
    static std::string DevicePath(const std::string& portName);

    // Sending, queued in call order to the sending thread; `done` (optional) runs on the
    // sending thread once that item has finished (after its pause or acknowledgement wait).
    // Items dropped by DropPending or destruction never call their `done`. The destructor waits
    // for a `done` that is running, so a `done` must not block on the destroying thread.
    void SendChar(char ch, std::function<void()> done = {});              // one byte, then >= 10 ms
    void SendString(std::string s, std::function<void()> done = {});      // SendChar per character
    void WriteBytes(std::string bytes, std::function<void()> done = {});  // raw, no pause
    // Raw block, then wait until the acknowledgement "." arrives (the first byte of a received
    // chunk while the block waits) or 1000 ms have passed since the write; done(acknowledged).
    // A line lost meanwhile ends the wait at once, unacknowledged.
    void WriteBlockAck(std::string block, std::function<void(bool)> done = {});
    void Pause(int ms, std::function<void()> done = {});  // a queued pause of at least ms
    void DropPending();                                   // forget the items not yet started
    bool WaitIdle(int timeoutMs);                         // true once the queue is empty and no item runs

    // Reads at most max bytes, never more than the driver reports waiting; 0 when none. A hung-up
    // line (EIO, ENXIO, end of file) also gives 0 and marks the line as failed for the reception loop.
    std::size_t ReadAvailable(char* buffer, std::size_t max);

    static constexpr int kCharPauseMs = 10;
    static constexpr int kAckTimeoutMs = 1000;
    static constexpr std::size_t kChunk = 100;

private:
    // One queued sending step.
    struct Item {
        enum class Kind { Chars, Bytes, BlockAck, Pause } kind;
        std::string data;                   // Chars: paced one by one; Bytes/BlockAck: one write
        int pauseMs = 0;                    // Pause only
        std::function<void()> done;         // Chars, Bytes, Pause
        std::function<void(bool)> ackDone;  // BlockAck
    };
    bool ConfigurePort();
    void SettleLine();  // lets the sending thread start writing
    void ReceiveLoop();
    void ReportLineLost();
    void SendLoop();
    void Enqueue(Item item);
    void RunItem(Item& item);
    bool WriteAll(const char* data, std::size_t size);
    bool InputWaiting();  // bytes wait in the driver, not yet read by the reception thread
    bool SleepUnlessStopping(int ms);
    void ClosePort();
    bool Stopping() const { return m_stopping.load(); }

    Document& m_doc;
    const std::string m_portName;
    const int m_detectEnabled;
    Texts m_texts;

    std::atomic<int> m_fd{-1};
    std::mutex m_portMutex;  // guards writes against the close after a configuration failure
    int m_wakePipe[2] = {-1, -1};

    std::atomic<bool> m_stopRequested{false};  // StopReception asked; never reset
    std::atomic<bool> m_running{false};        // configured and receiving
    std::atomic<bool> m_readFailed{false};     // reading met a hang-up or an I/O error
    std::atomic<bool> m_writeFailed{false};    // writing met a hang-up or an I/O error
    std::atomic<bool> m_lineLost{false};       // the loss was reported; never reset
    std::thread m_reception;

    std::mutex m_ackMutex;
    std::condition_variable m_ackCv;
    bool m_ackWanted = false;
    bool m_ackReceived = false;

    std::mutex m_queueMutex;
    std::condition_variable m_queueCv;  // new item, stop, or idle
    std::deque<Item> m_queue;
    bool m_busy = false;
    // The reception thread has configured the line, or given up on it. Nothing is written before:
    // configuring purges the port, which would swallow a command sent in the meantime.
    bool m_lineSettled = false;
    std::atomic<bool> m_stopping{false};  // destruction began: drop everything, call no `done`
    std::thread m_sender;
};

}  // namespace korvan::monitor
