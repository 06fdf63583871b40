#include "support/Forms.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

std::string g_order;

class NamedForm : public TReloadableForm {
public:
    explicit NamedForm(char name) : name_(name) {}
    void ReadFromResources() override {
        g_order += name_;
        if (onRead) onRead();
    }
    std::function<void()> onRead;

private:
    char name_;
};

TEST(Forms, ReReadInCreationOrderWhileTheyExist) {
    g_order.clear();
    const int before = FormCount();
    {
        NamedForm a('a');
        auto b = std::make_unique<NamedForm>('b');
        NamedForm c('c');
        EXPECT_EQ(FormCount(), before + 3);
        ReinitializeForms();
        EXPECT_EQ(g_order, "abc");
        b.reset();
        ReinitializeForms();
        EXPECT_EQ(g_order, "abcac");
    }
    EXPECT_EQ(FormCount(), before);
    ReinitializeForms();
    EXPECT_EQ(g_order, "abcac");
}

TEST(Forms, AFormClosedByAnotherDuringReReadIsSkipped) {
    g_order.clear();
    NamedForm a('a');
    auto b = std::make_unique<NamedForm>('b');
    a.onRead = [&b] { b.reset(); };
    ReinitializeForms();
    EXPECT_EQ(g_order, "a");
}

}  // namespace
