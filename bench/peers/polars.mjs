// Polars' side of bench/peers.sh: the same three jobs as fidmora-cli, as
// dataframe operations through nodejs-polars.
//
//   node polars.mjs load FEED              prints the number of rows
//   node polars.mjs delta DATA BASE OUT    the delta against the base, with a status column
//   node polars.mjs dedup FEED OUT         the first row of each url
//   node polars.mjs start                  loads Polars and does nothing (the floor of a run)
//
// Every column is read as text (inferSchemaLength 0): the delta compares
// cells as text, and the saved rows must carry the feed's own text. Empty
// cells come back as null; the comparisons treat null and "" alike, as a
// CSV file cannot tell them apart.
import pl from "nodejs-polars";

const [mode, ...args] = process.argv.slice(2);

// The feed's dialect: ";" separated, '"' quoted with quotes doubled, UTF-8,
// a header row.
const dialect = { sep: ";", quoteChar: '"', hasHeader: true, encoding: "utf8", inferSchemaLength: 0 };
const read = (path) => pl.readCSV(path, dialect);
const write = (frame, out) => frame.writeCSV(out, { separator: ";", quoteChar: '"', includeHeader: true });

if (mode === "start") {
    // Nothing: the import above is the whole start.
} else if (mode === "load") {
    const [feed] = args;
    // The lazy scan lets Polars count the rows without building the columns.
    const counted = pl.scanCSV(feed, dialect).select(pl.len().alias("n")).collectSync();
    console.log(String(counted.getColumn("n").get(0)));
} else if (mode === "delta") {
    const [dataPath, basePath, out] = args;
    const data = read(dataPath);
    const base = read(basePath);
    const dataColumns = data.columns;
    const baseColumns = new Set(base.columns);
    if (!dataColumns.includes("url") || !baseColumns.has("url"))
        throw new Error("both files need a url column");
    // Changed: a column both files have differs; the category is left out
    // (a good moved to another category is the same good), the url is the key.
    const compared = dataColumns.filter((c) => baseColumns.has(c) && c !== "url" && c !== "categoryId");
    const status = (text) => pl.lit(text).alias("status");
    const added = data.join(base.select("url"), { on: "url", how: "anti" }).select(status("+"), ...dataColumns.map((c) => pl.col(c)));
    // Rows only in the base keep their own cells, in the data's columns.
    const deleted = base
        .join(data.select("url"), { on: "url", how: "anti" })
        .select(status("-"), ...dataColumns.map((c) => (baseColumns.has(c) ? pl.col(c) : pl.lit(null).cast(pl.Utf8).alias(c))));
    let changed = data.join(base.select("url", ...compared), { on: "url", how: "inner", suffix: "_base" });
    if (compared.length > 0) {
        const differs = compared
            .map((c) => pl.col(c).fillNull("").neq(pl.col(c + "_base").fillNull("")))
            .reduce((a, b) => a.or(b));
        changed = changed.filter(differs);
    } else {
        changed = changed.head(0);
    }
    changed = changed.select(status("~"), ...dataColumns.map((c) => pl.col(c)));
    write(pl.concat([added, changed, deleted], { how: "vertical" }), out);
} else if (mode === "dedup") {
    const [feed, out] = args;
    // keep "first" keeps each url's first row in the file's order; the order of
    // the rows written is free, as it is for the other tools.
    write(read(feed).unique({ subset: "url", keep: "first", maintainOrder: false }), out);
} else {
    console.error("usage: node polars.mjs load FEED | delta DATA BASE OUT | dedup FEED OUT | start");
    process.exit(2);
}
