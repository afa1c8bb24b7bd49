#pragma once

namespace quippet {

class CatalogueBuilder;

/// The settings catalogue's pages of the network side: login and connection (proxy, request headers and
/// the service's addresses).
void add_net_setting_pages(CatalogueBuilder& b);

} // namespace quippet
