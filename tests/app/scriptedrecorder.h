// A recorder port whose answers the test writes down in advance: each
// request is answered with the next reply record of the script, or not at
// all once the script is used up.
#ifndef SCRIPTEDRECORDER_H
#define SCRIPTEDRECORDER_H

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "vzmidi_virtual.h"

// Builds one reply record item by item.
class ReplyRecord
{
public:
    ReplyRecord();
    ReplyRecord &command(uint8_t code);
    ReplyRecord &u8(uint8_t code, uint8_t value);
    ReplyRecord &u16(uint8_t code, uint16_t value);
    ReplyRecord &u32(uint8_t code, uint32_t value);
    ReplyRecord &str8(uint8_t code, const QByteArray &text);
    ReplyRecord &str16(uint8_t code, const QByteArray &text);
    QByteArray bytes() const;

private:
    uint8_t buffer[256];
    uint16_t used;
};

class ScriptedRecorder
{
public:
    ScriptedRecorder();
    ~ScriptedRecorder();
    ScriptedRecorder(const ScriptedRecorder &) = delete;
    ScriptedRecorder &operator=(const ScriptedRecorder &) = delete;

    void plugIn();
    void unplug();
    void setBusy(bool busy);
    void answer(const ReplyRecord &reply);
    // Item codes of the requests received so far (first item of each).
    std::vector<uint8_t> requests() const;

private:
    static void receive(void *context, const uint8_t *bytes, size_t length);
    void onRequest(const uint8_t *bytes, size_t length);

    mutable std::mutex mutex;
    std::deque<QByteArray> script;
    std::vector<uint8_t> received;
    vzmidi_virtual_port *port = nullptr;
};

#endif
