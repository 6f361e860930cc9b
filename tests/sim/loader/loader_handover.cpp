#include "tests/sim/loader/loader_handover.h"

namespace sim {

LoaderHandover::LoaderHandover(LpcSim& lpc, const loader::LoaderConfig& config, LoaderSim::Options options)
    : lpc_(lpc), loader_(std::make_unique<LoaderSim>(lpc.pty(), config, options))
{
    lpc_.setOnReset([this](const ResetEvent& ev) {
        const lpc::PartInfo& part = lpc_.part();
        if (ev.entry < part.ramStart || ev.entry > part.ramEnd)
            return;
        {
            std::lock_guard<std::mutex> lock(mu_);
            ram_ = lpc_.ram();
        }
        ++handovers_;
        loader_->start(loader::Persona::Loader, true, lpc_.takeUnread());
    });
}

LoaderHandover::~LoaderHandover()
{
    lpc_.setOnReset(nullptr);
    lpc_.stop();
    loader_->stop();
}

std::vector<std::uint8_t> LoaderHandover::ramAtStart() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return ram_;
}

} // namespace sim
