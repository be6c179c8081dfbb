#include "rules/views/DerivedViews.h"

#include "rules/FileSnapshot.h"
#include "rules/views/CommandsView.h"
#include "rules/views/ConfigView.h"
#include "rules/views/TextView.h"

namespace tw {

namespace {

class Tee : public LeafSink
{
public:
    Tee(LeafSink& first, LeafSink* second)
        : m_first(first)
        , m_second(second)
    {
    }
    bool leaf(const std::vector<std::string>& key, std::string_view value, SourceLine line) override
    {
        return m_first.leaf(key, value, line) && (!m_second || m_second->leaf(key, value, line));
    }
    void reset() override
    {
        m_first.reset();
        if (m_second)
            m_second->reset();
    }

private:
    LeafSink& m_first;
    LeafSink* m_second;
};

} // namespace

void DerivedViews::derive(const FileFacts& facts, std::string_view raw, bool whole)
{
    m_views.clear();
    const bool hasText = decodeText(raw, m_text);
    if (hasText)
        m_views.push_back({"text", m_text});
    const std::string_view text = hasText ? std::string_view(m_text) : raw;

    // A document cut at the window does not parse; it is still scanned raw and as text.
    if (!whole)
        return;
    std::size_t budget = viewBudget(text.size());
    bool hasCommands = false;
    if (const ConfigFormat format = configFormatOf(facts); format != ConfigFormat::None) {
        // One reading feeds both views. Data files that no tool runs anything from (API descriptions,
        // generated tables) get a smaller share: they are many in a dependency tree, and large.
        const auto collector = commandCollectorFor(facts);
        if (!collector && format != ConfigFormat::GitConfig && format != ConfigFormat::Ini)
            budget = std::min(budget, kDataViewCap);
        ConfigRenderer renderer(m_config, m_configOrigins, budget);
        Tee tee(renderer, collector.get());
        if (readConfigLeaves(format, text, tee)) {
            if (!m_config.empty())
                m_views.push_back({"config", m_config, &m_configOrigins});
            if (collector) {
                collector->render(m_commands, m_commandsOrigins, budget);
                hasCommands = true;
            }
        }
    } else {
        hasCommands = scriptCommands(facts, text, m_commands, m_commandsOrigins, budget);
    }
    if (hasCommands && !m_commands.empty())
        m_views.push_back({"commands", m_commands, &m_commandsOrigins});
}

void DerivedViews::release()
{
    m_views.clear();
    // Derived views of ordinary files are far smaller than the read buffer; keep only that much.
    constexpr std::size_t keep = 256 * 1024;
    releaseIfLarge(m_text, keep);
    releaseIfLarge(m_config, keep);
    releaseIfLarge(m_commands, keep);
    releaseIfLarge(m_configOrigins, keep / 16);
    releaseIfLarge(m_commandsOrigins, keep / 16);
}

} // namespace tw
