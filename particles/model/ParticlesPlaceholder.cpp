// The particle model's sources live beside this file.
namespace ferrolyt::particles {
int ModelVersion() { return 1; }
}
