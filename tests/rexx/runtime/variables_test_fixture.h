// A run with a hand-made program for the variable pool and PARSE tests: symbols and literals
// are entered as a test needs them (compound symbols with a tail descriptor made the way the
// translator makes it), template literals are built from 16-bit words, and values are set and
// read through the interpreter's ports.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"
#include "support/rexx_test.h"

namespace ketra::test {

class PoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        run_.instance().program = make_program();
        prog_ = run_.instance().program.get();
        for (const char* n : {"RC", "RESULT", "SIGL"}) sym(n);
        top_ = Activation{};
        vars_open_program(&top_);
    }
    void TearDown() override {
        vars_close(&top_);
        run_.instance().program.reset();
    }

    // The symbol index of a name (entered on first use). A compound symbol gets a tail
    // descriptor, or none (the "too many parts" mark) when it has more than 9 tail parts.
    std::uint16_t sym(const std::string& name) {
        for (std::size_t i = 0; i < prog_->symbols.size(); ++i)
            if (std::string(chars_of(prog_->symbols[i].name), prog_->symbols[i].name.length) ==
                name)
                return static_cast<std::uint16_t>(i);
        return new_sym(name);
    }
    // A further symbol entry for a name (as INTERPRET may enter one).
    std::uint16_t new_sym(const std::string& name) {
        SymbolEntry e{};
        e.name = make_value(name.data(), name.size(), true);
        std::size_t dot = name.find('.');
        e.kind = dot == std::string::npos ? kSymbolSimple
                 : dot + 1 == name.size() ? kSymbolStem
                                          : kSymbolCompound;
        std::size_t index = prog_->symbols.size();
        prog_->symbols.push_back(e);
        if (e.kind == kSymbolCompound) {
            std::string d;
            auto item = [&](int kind, std::uint16_t idx) {
                d += static_cast<char>(kind);
                d += static_cast<char>(idx & 0xFF);
                d += static_cast<char>(idx >> 8);
            };
            item(3, sym(name.substr(0, dot + 1)));
            std::size_t i = dot + 1;
            int parts = 0;
            while (true) {
                std::size_t j = name.find('.', i);
                std::string part = name.substr(i, j == std::string::npos ? j : j - i);
                if (part.empty() || (part[0] >= '0' && part[0] <= '9'))
                    item(2, lit(part));
                else
                    item(3, sym(part));
                ++parts;
                if (j == std::string::npos) break;
                i = j + 1;
            }
            prog_->symbols[index].tail = parts > 9 ? kTailTooMany : lit(d);
        }
        return static_cast<std::uint16_t>(index);
    }
    std::uint16_t lit(const std::string& bytes) {
        prog_->literals.push_back(make_value(bytes.data(), bytes.size(), true));
        return static_cast<std::uint16_t>(prog_->literals.size() - 1);
    }
    // A template literal from its 16-bit words (little-endian).
    std::uint16_t tmpl(const std::vector<std::uint16_t>& words) {
        std::string b;
        for (std::uint16_t w : words) {
            b += static_cast<char>(w & 0xFF);
            b += static_cast<char>(w >> 8);
        }
        return lit(b);
    }

    void set(const std::string& name, const std::string& value, Activation* a = nullptr) {
        var_store(a ? a : &top_, sym(name), make_value(value.data(), value.size(), true));
    }
    void set_sym(std::uint16_t s, const std::string& value, Activation* a = nullptr) {
        var_store(a ? a : &top_, s, make_value(value.data(), value.size(), true));
    }
    // The value, or "<unset:NAME>" with the name the pool reports.
    std::string get(const std::string& name, Activation* a = nullptr) {
        return get_sym(sym(name), a);
    }
    std::string get_sym(std::uint16_t s, Activation* a = nullptr) {
        Value v;
        bool found = var_fetch(a ? a : &top_, s, v);
        NumberBuffer b;
        std::string text(view_of(v, b));
        release(v);
        return found ? text : "<unset:" + text + ">";
    }
    // A routine's activation that shares the program's variables until PROCEDURE.
    Activation callee(Activation* caller = nullptr) {
        Activation c{};
        c.caller = caller ? caller : &top_;
        c.scope = c.caller->scope;
        return c;
    }

    ScopedRun run_;
    Program* prog_ = nullptr;
    Activation top_{};
};

}  // namespace ketra::test
