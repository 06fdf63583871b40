// Lists of texts as the wizard's controls and helpers exchange them: an interface that a
// list box's items or a plain list implement, and the plain in-memory list.
#pragma once

#include <string>
#include <vector>

class TStrings {
public:
    virtual ~TStrings() = default;

    virtual void Clear() = 0;
    // Appends a text and returns its index.
    virtual int Add(const std::string& text) = 0;
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;

    // Brackets a batch of changes so that a visible control repaints once, at the end.
    // Brackets nest.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
};

class TStringList : public TStrings {
public:
    void Clear() override { items_.clear(); }
    int Add(const std::string& text) override;
    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Get(int index) const override { return items_.at(static_cast<size_t>(index)); }
    void BeginUpdate() override { ++updateCount_; }
    void EndUpdate() override;

    const std::vector<std::string>& Items() const { return items_; }
    // Whether a batch of changes is under way.
    bool Updating() const { return updateCount_ > 0; }

private:
    std::vector<std::string> items_;
    int updateCount_ = 0;
};

// Brackets a batch of changes to a list, also when the batch ends by an exception.
class TUpdateGuard {
public:
    explicit TUpdateGuard(TStrings& strings) : strings_(strings) { strings_.BeginUpdate(); }
    ~TUpdateGuard() { strings_.EndUpdate(); }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;

private:
    TStrings& strings_;
};
