#include "rules/views/DerivedViews.h"

#include "rules/FileSnapshot.h"
#include "rules/views/TextView.h"

namespace tw {

void DerivedViews::derive(const FileFacts&, std::string_view raw)
{
    m_views.clear();
    if (decodeText(raw, m_text))
        m_views.push_back({"text", m_text});
}

void DerivedViews::release()
{
    m_views.clear();
    releaseIfLarge(m_text);
}

} // namespace tw
