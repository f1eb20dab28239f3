// paradigm_flags.h - the command-line options of the paradigms.
//
// Every paradigm adds its options, bound to its own typed options, whatever
// paradigm the command line chooses. An option that several paradigms take
// (--rate, --epochs, --format, --kernel) is one option of the command, its
// help joined from theirs, its value handed to each of them; naming one for
// a paradigm that does not take it is refused.
#ifndef KORU_CLI_PARADIGM_FLAGS_H
#define KORU_CLI_PARADIGM_FLAGS_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace koru_cli {

class ParadigmFlags {
public:
    explicit ParadigmFlags(CLI::App* command) : command_(command) {}

    // `paradigm` is the name of the paradigm adding the option, `group` the
    // heading of its options in --help.
    void Add(const std::string& name, const std::string& paradigm, double& target, const std::string& help);
    // Integers are checked against [low, high] as they are parsed.
    void Add(const std::string& name, const std::string& paradigm, int& target, const std::string& help, int low,
             int high);
    // Comma-separated integers in [low, high], as one value.
    void Add(const std::string& name, const std::string& paradigm, std::vector<int>& target,
             const std::string& help, int low, int high);
    // One of `choices` (the choices of every paradigm taking the option).
    void Add(const std::string& name, const std::string& paradigm, std::string& target, const std::string& help,
             const std::vector<std::string>& choices);
    void SetGroup(const std::string& paradigm, const std::string& group) { groups_[paradigm] = group; }

    bool Given(const std::string& name) const;
    std::string GivenText(const std::string& name) const;  // as typed

    // After parsing: refuses options the paradigm does not take
    // (CLI::ValidationError "--X applies to --paradigm a or b, not c"), then
    // hands the values to `paradigm`'s options.
    void Apply(const std::string& paradigm) const;

    // Refuses a given real option that is not finite or not in range:
    // "--rate must be above 0 and at most 10, not 20".
    void CheckReal(const std::string& name, double value, double low, bool lowIncluded, double high,
                   bool highIncluded) const;

    // Throws CLI::ValidationError: a usage error of the command line.
    [[noreturn]] static void Refuse(const std::string& message);

private:
    struct Entry;
    Entry& Join(const std::string& name, const std::string& paradigm, const std::string& help, const char* type);

    CLI::App* command_;
    std::map<std::string, std::string> groups_;
    std::map<std::string, std::shared_ptr<Entry>> entries_;
};

}  // namespace koru_cli

#endif
