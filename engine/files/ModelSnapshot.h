#pragma once
// A copy of everything that opening a project or a data file replaces: the
// database tables, the materials, the task list, the project's lines and
// task files, the current folder and the remembered project. Opening takes
// one first; when any file of the chain is refused, Restore puts the model
// back as it was and shows it again, so the open project still melts to
// the same result.

#include <memory>

namespace ferrolyt {

class TModelSnapshot {
public:
    TModelSnapshot();
    ~TModelSnapshot();
    TModelSnapshot(const TModelSnapshot&) = delete;
    TModelSnapshot& operator=(const TModelSnapshot&) = delete;

    void Restore() const;

private:
    struct State;
    template <typename Copy>
    void Parts(Copy copy) const;
    std::unique_ptr<State> state_;
};

} // namespace ferrolyt
