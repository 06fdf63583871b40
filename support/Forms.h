// The forms that exist, in the order they were created, so that they can be re-read when
// another language module is put in force.
#pragma once

// A form that can read its texts and layout again from the resources in force. It is listed
// from construction to destruction.
class TReloadableForm {
public:
    TReloadableForm();
    virtual ~TReloadableForm();
    TReloadableForm(const TReloadableForm&) = delete;
    TReloadableForm& operator=(const TReloadableForm&) = delete;

    // Re-reads the form's own resource over the existing form: properties are overwritten,
    // no control is created a second time.
    virtual void ReadFromResources() = 0;
};

// Re-reads every existing form, in creation order. At start-up no form exists yet; the
// forms created afterwards read the new resources by themselves.
void ReinitializeForms();

// How many forms exist.
int FormCount();
