// Table numbers of the parts the classic tests drive.
#pragma once

namespace classictest {

constexpr int k89C51RB2Hxx = 2;
constexpr int k89LPC932 = 19;
constexpr int k89C669 = 21;
constexpr int k89LPC922 = 25;
constexpr int k89LPC935 = 38;
constexpr int k89V51RD2 = 49;
constexpr int k89LPC966 = 68;
constexpr int k89V52X2 = 69;

} // namespace classictest
