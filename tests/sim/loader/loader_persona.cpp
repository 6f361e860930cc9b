#include "tests/sim/loader/loader_persona.h"

namespace sim::loader {

namespace {

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

constexpr std::size_t kCommandSize = 16;
const char* const kIdentity = "KELDMARVOS";

} // namespace

LoaderPersona::LoaderPersona(const LoaderConfig& config)
    : config_(config),
      flash_(config.flashStart, config.flashSize, config.eraseBlockSize, config.erasedByte),
      ram_(config.ramSize, 0)
{
}

void LoaderPersona::begin(Persona persona)
{
    persona_ = persona;
    phase_ = persona == Persona::BootRom ? Phase::Query : Phase::Idle;
    block_.clear();
    data_.clear();
    out_.clear();
    held_.clear();
    busyMs_ = 0;
}

void LoaderPersona::clearRecords()
{
    downloads_ = 0;
    lastBlocks_ = 0;
    downloadedBytes_ = 0;
    queries_ = 0;
    commands_.clear();
}

std::string LoaderPersona::takeOutput()
{
    std::string out;
    out.swap(out_);
    return out;
}

std::uint32_t LoaderPersona::takeBusyMs()
{
    const std::uint32_t ms = busyMs_;
    busyMs_ = 0;
    return ms;
}

void LoaderPersona::sendLine(const std::string& text)
{
    if (text == kIdentity && faults_.spoiledNames > 0) {
        --faults_.spoiledNames;
        emitLine(std::string(text).erase(text.size() / 2, 1));
    } else {
        emitLine(text);
    }
    if (!held_.empty()) {
        std::string late;
        late.swap(held_);
        emitLine(late);
    }
}

void LoaderPersona::sendReply(const std::string& text)
{
    if (faults_.noisyReplies > 0) {
        --faults_.noisyReplies;
        emitLine("N#ISE");
    }
    if (faults_.lostReplies > 0) {
        --faults_.lostReplies;
        return;
    }
    if (faults_.lateReplies > 0 && held_.empty()) {
        --faults_.lateReplies;
        held_ = text;
        return;
    }
    sendLine(text);
}

void LoaderPersona::emitLine(const std::string& text)
{
    if (faults_.mute)
        return;
    if (faults_.endlessLines > 0) {
        --faults_.endlessLines;
        out_.append(kEndlessLength, 'X');
        return;
    }
    out_ += text;
    out_ += '\r';
    if (faults_.dropLf > 0)
        --faults_.dropLf;
    else
        out_ += '\n';
}

bool LoaderPersona::replyError()
{
    if (faults_.errorReplies <= 0)
        return false;
    --faults_.errorReplies;
    return true;
}

void LoaderPersona::feed(std::uint8_t b)
{
    if (persona_ == Persona::BootRom)
        bootByte(b);
    else
        loaderByte(b);
}

void LoaderPersona::bootByte(std::uint8_t b)
{
    switch (phase_) {
    case Phase::Query:
        if (b == '?') {
            ++queries_;
            sendLine("OK");
            phase_ = Phase::Header;
            block_.clear();
        }
        return;
    case Phase::Header: {
        block_.push_back(b);
        if (block_.size() < kCommandSize)
            return;
        bool ok = block_[0] == 0xDA && block_[1] == 0x3F;
        for (std::size_t i = 4; i < 12; ++i)
            ok = ok && block_[i] == 0x00;
        for (std::size_t i = 12; i < 16; ++i)
            ok = ok && block_[i] == 0xFF;
        const std::uint32_t count = static_cast<std::uint32_t>(block_[2]) | static_cast<std::uint32_t>(block_[3]) << 8;
        block_.clear();
        if (!ok) {
            phase_ = Phase::Query;
            return;
        }
        lastBlocks_ = count;
        blocksLeft_ = count;
        ramPos_ = 0;
        phase_ = count == 0 ? Phase::Query : Phase::Blocks;
        return;
    }
    case Phase::Blocks:
        if (ramPos_ < ram_.size())
            ram_[ramPos_] = b;
        ++ramPos_;
        ++downloadedBytes_;
        if (ramPos_ % kBlock == 0 && --blocksLeft_ == 0) {
            ++downloads_;
            persona_ = Persona::Loader;
            phase_ = Phase::Idle;
            sendLine(kIdentity);
        }
        return;
    default:
        phase_ = Phase::Query;
        return;
    }
}

void LoaderPersona::loaderByte(std::uint8_t b)
{
    switch (phase_) {
    case Phase::Idle:
        if (b == '?' && faults_.lostQueries > 0) {
            --faults_.lostQueries;
        } else if (b == '?') {
            ++queries_;
            sendLine(kIdentity);
        } else if (b <= 0x02) {
            block_.assign(1, b);
            phase_ = Phase::Block;
        }
        return;
    case Phase::Block:
        block_.push_back(b);
        if (block_.size() == kCommandSize)
            runBlock();
        return;
    case Phase::Data:
        data_.push_back(b);
        if (data_.size() % config_.chunkSize == 0) {
            sendLine(replyError() ? "ERROR" : "PROGOK");
            if (--piecesLeft_ == 0)
                finishProgram();
        }
        return;
    default:
        phase_ = Phase::Idle;
        return;
    }
}

void LoaderPersona::runBlock()
{
    LoaderCommand c;
    c.op = block_[0];
    phase_ = Phase::Idle;
    switch (c.op) {
    case 0x01:
        busyMs_ = config_.eraseMs;
        flash_.eraseAll();
        c.accepted = !replyError();
        commands_.push_back(c);
        sendReply(c.accepted ? "OK" : "ERROR");
        return;
    case 0x02:
        busyMs_ = config_.eraseMs;
        c.address = word(block_, 1);
        c.accepted = !replyError() && flash_.eraseBlock(c.address);
        commands_.push_back(c);
        sendReply(c.accepted ? "OK" : "ERROR");
        return;
    default:
        c.pieces = static_cast<std::uint32_t>(block_[1]) | static_cast<std::uint32_t>(block_[2]) << 8;
        checksum_ = word(block_, 3);
        c.address = word(block_, 7);
        if (c.pieces == 0 || config_.chunkSize == 0) {
            commands_.push_back(c);
            sendLine("ERROR");
            return;
        }
        program_ = c;
        piecesLeft_ = c.pieces;
        data_.clear();
        phase_ = Phase::Data;
        return;
    }
}

void LoaderPersona::finishProgram()
{
    phase_ = Phase::Idle;
    std::uint32_t sum = checksum_;
    for (std::uint8_t v : data_)
        sum += v;
    program_.accepted = sum == 0 && !replyError() && flash_.program(program_.address, data_.data(), data_.size());
    commands_.push_back(program_);
    sendReply(program_.accepted ? "OK" : "ERROR");
    data_.clear();
}

} // namespace sim::loader
