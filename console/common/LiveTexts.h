// The texts of a form that follow the cashier's language. Each is set when
// added and again on every retranslate(), which the form calls from its
// changeEvent on QEvent::LanguageChange; a form then never keeps a caption
// of the language it was built in.
#pragma once

#include <functional>
#include <utility>
#include <vector>

class LiveTexts {
public:
    // apply sets one or more texts from their current translation; it is
    // called now and on each retranslate(), so it may only capture widgets
    // that live as long as the form.
    void add(std::function<void()> apply)
    {
        apply();
        m_apply.push_back(std::move(apply));
    }
    void retranslate() const
    {
        for (const auto &apply : m_apply)
            apply();
    }

private:
    std::vector<std::function<void()>> m_apply;
};
