#pragma once
// MRegisteredHandle: a weak handle to an object entered in the application's registry. The handle
// points at the registration record, whose first field is the object; no record means no object.

template <class T> class MRegisteredID {};

template <class ID, class T> class MRegisteredHandle {
public:
    struct Record {
        T* mp_object = nullptr; // must stay the first field
    };

    MRegisteredHandle() = default;
    explicit MRegisteredHandle(Record* record) : mp_record(record) {}

    T* GetRegisteredObject() const;

    Record* mp_record = nullptr;
};

// Defined out of line so that a module can export one explicit instantiation.
template <class ID, class T> T* MRegisteredHandle<ID, T>::GetRegisteredObject() const {
    return mp_record == nullptr ? nullptr : mp_record->mp_object;
}
