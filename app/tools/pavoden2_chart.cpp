// pavoden2-chart: one job search chart as a PNG picture (and its numbers as CSV), without a window.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/charts/chart_tool.h"

int main(int argc, char** argv) {
    // Headless unless the caller chose a platform: scripts run this without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    return pavo::app::charts::run_chart_tool(args, std::cout, std::cerr);
}
