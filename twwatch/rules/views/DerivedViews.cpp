#include "rules/views/DerivedViews.h"

#include "rules/FileSnapshot.h"
#include "rules/views/ConfigView.h"
#include "rules/views/TextView.h"

namespace tw {

void DerivedViews::derive(const FileFacts& facts, std::string_view raw)
{
    m_views.clear();
    const bool hasText = decodeText(raw, m_text);
    if (hasText)
        m_views.push_back({"text", m_text});
    const std::string_view text = hasText ? std::string_view(m_text) : raw;

    if (const ConfigFormat format = configFormatOf(facts); format != ConfigFormat::None) {
        ConfigRenderer renderer(m_config, viewBudget(text.size()));
        if (readConfigLeaves(format, text, renderer) && !m_config.empty())
            m_views.push_back({"config", m_config});
    }
}

void DerivedViews::release()
{
    m_views.clear();
    releaseIfLarge(m_text);
    releaseIfLarge(m_config);
}

} // namespace tw
