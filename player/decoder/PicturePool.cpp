#include "PicturePool.h"

PicturePool::PicturePool() : m_spares(std::make_shared<Spares>()) {}

std::shared_ptr<Picture> PicturePool::Take() {
    std::unique_ptr<Picture> picture;
    {
        std::lock_guard hold(m_spares->lock);
        if (!m_spares->pictures.empty()) {
            picture = std::move(m_spares->pictures.back());
            m_spares->pictures.pop_back();
        }
    }
    if (picture == nullptr)
        picture = std::make_unique<Picture>();
    return std::shared_ptr<Picture>(picture.release(), [spares = m_spares](Picture* released) {
        std::unique_ptr<Picture> owned(released);
        std::lock_guard hold(spares->lock);
        if (spares->pictures.size() < kMaxSpare)
            spares->pictures.push_back(std::move(owned));
    });
}

size_t PicturePool::SpareCount() const {
    std::lock_guard hold(m_spares->lock);
    return m_spares->pictures.size();
}
