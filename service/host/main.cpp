#include "service/host/geolabel_service.h"

int main(int argc, char** argv) {
    return vgl::RunGeoLabelService(argc, argv);
}
