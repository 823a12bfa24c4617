"""What the tool put on the wire, as the lab's scout-sim logged it."""

# The protocol magic that opens every datagram, in wire order.
MAGIC_HEX = "dbac19a66ab7fe499c87a877398e00c3"
QUERY_HEX = MAGIC_HEX + "00" * 24


def command_datagrams(sim):
    """Every datagram the simulator received that is not the search's query, in order."""
    return [d for d in sim.datagrams() if d["hex"] != QUERY_HEX]
