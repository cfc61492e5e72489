// Checks GitHub workflow files with GitHub's own workflow parser: each file
// is parsed and converted as Actions would, and any error fails the check.
//
//     node check_workflows.mjs NODE_MODULES WORKFLOW...
import { readFileSync } from "node:fs";
import { register } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

// The parser imports its schema as JSON without the attribute Node 20 asks for.
const jsonHook = "export async function load(url, context, next) {" +
    " return next(url, url.endsWith('.json') ?" +
    " { ...context, importAttributes: { type: 'json' } } : context); }";
register("data:text/javascript," + encodeURIComponent(jsonHook));
const [modules, ...files] = process.argv.slice(2);
const parser = await import(
    pathToFileURL(join(modules, "@actions/workflow-parser/dist/index.js")).href);

let failed = 0;
for (const name of files) {
    const parsed = parser.parseWorkflow({ name, content: readFileSync(name, "utf8") },
                                        new parser.NoOperationTraceWriter());
    const errors = parsed.context.errors.getErrors().map((e) => e.message);
    if (parsed.value && errors.length === 0) {
        const workflow = await parser.convertWorkflowTemplate(parsed.context, parsed.value);
        errors.push(...(workflow.errors || []).map((e) => e.Message || e.message));
    }
    if (!parsed.value && errors.length === 0) errors.push("not a workflow");
    for (const e of errors) console.log(`${name}: ${e}`);
    console.log(errors.length ? `${name} is not a valid workflow` : `${name}: valid`);
    failed += errors.length > 0;
}
process.exit(failed ? 1 : 0);
